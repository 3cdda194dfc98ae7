// DBC files: every section the reader takes, those it skips, and the malformed ones refused at
// their line and column.
#include "pitwall/can_decode.h"
#include "pitwall/dbc.h"

#include <gtest/gtest.h>

#include <string>

namespace pitwall::testing {
namespace {

using namespace pitwall::can;

// Written as a DBC editor writes them: the symbols block, nodes, value tables, comments across
// lines, attribute definitions and the independent signals' pseudo message.
const char *const dashboard_dbc = R"(VERSION "1.0"


NS_ : 
	NS_DESC_
	CM_
	BA_DEF_
	BA_
	VAL_
	CAT_DEF_
	SIG_VALTYPE_
	BO_TX_BU_

BS_:

BU_: ECU DASH ABS
VAL_TABLE_ Gears 0 "N" 1 "1st" 2 "2nd" ;


BO_ 2364540158 ENGINE_1: 8 ECU
 SG_ EngineSpeed : 24|16@1+ (0.125,0) [0|8031.875] "rpm" DASH,ABS
 SG_ Gear : 0|4@1- (1,0) [-1|8] "" DASH
 SG_ WaterTemp : 15|10@0+ (0.1,-40) [-40|62.3] "degC" DASH

BO_ 291 PAGES: 64 DASH
 SG_ Page M : 0|8@1+ (1,0) [0|255] "" ECU
 SG_ OilPressure m1 : 8|16@1+ (0.1,0) [0|1000] "kPa" ECU
 SG_ Lambda m2 : 8|32@1+ (1,0) [0|2] "" ECU
 SG_ Odometer : 448|64@1+ (1,0) [0|0] "m" ECU

BO_ 3221225472 VECTOR__INDEPENDENT_SIG_MSG: 0 Vector__XXX
 SG_ Orphan : 0|8@1+ (1,0) [0|0] "" Vector__XXX

BO_TX_BU_ 291 : DASH,ECU;

CM_ "The car's dashboard bus;
with a comment over two lines";
CM_ BO_ 2364540158 "Engine speed and gear";
CM_ SG_ 291 Lambda "a \"quoted\" word";
BA_DEF_ BO_  "GenMsgCycleTime" INT 0 65535;
BA_DEF_ SG_  "GenSigStartValue" FLOAT 0 1e+10;
BA_DEF_  "BusType" STRING ;
BA_DEF_DEF_  "GenMsgCycleTime" 0;
BA_DEF_DEF_  "BusType" "CAN";
BA_ "BusType" "CAN FD";
BA_ "GenMsgCycleTime" BO_ 2364540158 20;
BA_ "GenMsgCycleTime" BO_ 291 100.5;
BA_ "GenSigStartValue" SG_ 2364540158 Gear 1;
BA_ "GenMsgCycleTime" BO_ 3221225472 10;
VAL_ 2364540158 Gear -1 "R" 0 "N" 1 "1st" 2 "2nd" 3 "3rd" ;
VAL_ 3221225472 Orphan 0 "off" ;
SIG_VALTYPE_ 291 Lambda : 1;
SIG_VALTYPE_ 3221225472 Orphan : 1;
SIG_GROUP_ 291 Pages 1 : Page OilPressure;
)";

TEST(dbc_reader, a_dashboard_database_reads_whole) {
    database db;
    std::string why;
    ASSERT_TRUE(parse_dbc(dashboard_dbc, "car.dbc", db, &why)) << why;
    ASSERT_EQ(db.messages.size(), 2u);

    const message *engine = db.find(0x0CF004FE, true);
    ASSERT_NE(engine, nullptr);
    EXPECT_EQ(engine, db.find("ENGINE_1"));
    EXPECT_EQ(engine->sender, "ECU");
    EXPECT_EQ(engine->length, 8);
    EXPECT_EQ(engine->line, 20u);
    EXPECT_EQ(engine->cycle_ms, 20.0);
    ASSERT_EQ(engine->signals.size(), 3u);
    const signal &speed = engine->signals[0];
    EXPECT_EQ(speed.name, "EngineSpeed");
    EXPECT_EQ(speed.start_bit, 24);
    EXPECT_EQ(speed.length, 16);
    EXPECT_EQ(speed.order, byte_order::little_endian);
    EXPECT_EQ(speed.type, value_type::unsigned_int);
    EXPECT_EQ(speed.factor, 0.125);
    EXPECT_EQ(speed.maximum, 8031.875);
    EXPECT_EQ(speed.unit, "rpm");
    EXPECT_EQ(speed.line, 21u);
    const signal *gear = engine->find("Gear");
    ASSERT_NE(gear, nullptr);
    EXPECT_EQ(gear->type, value_type::signed_int);
    EXPECT_EQ(gear->minimum, -1);
    ASSERT_EQ(gear->values.size(), 5u);
    EXPECT_EQ(gear->find_value(-1)->name, "R");
    EXPECT_EQ(gear->find_value(3)->name, "3rd");
    EXPECT_EQ(gear->find_value(4), nullptr);
    const signal *water = engine->find("WaterTemp");
    ASSERT_NE(water, nullptr);
    EXPECT_EQ(water->order, byte_order::big_endian);
    EXPECT_EQ(water->offset, -40);
    EXPECT_EQ(engine->multiplexor(), nullptr);

    const message *pages = db.find(291, false);
    ASSERT_NE(pages, nullptr);
    EXPECT_EQ(db.find(291, true), nullptr);
    EXPECT_EQ(pages->length, 64);
    EXPECT_EQ(pages->cycle_ms, 100.5);
    ASSERT_EQ(pages->signals.size(), 4u);
    EXPECT_EQ(pages->multiplexor(), &pages->signals[0]);
    EXPECT_EQ(pages->signals[1].mux, multiplex::multiplexed);
    EXPECT_EQ(pages->signals[1].mux_value, 1u);
    EXPECT_EQ(pages->signals[2].mux_value, 2u);
    EXPECT_EQ(pages->signals[2].type, value_type::ieee_float);
    EXPECT_EQ(pages->signals[3].mux, multiplex::none);
    EXPECT_EQ(pages->signals[3].start_bit, 448);
    EXPECT_EQ(db.find("VECTOR__INDEPENDENT_SIG_MSG"), nullptr);
    EXPECT_EQ(db.find("NOPE"), nullptr);
}

TEST(dbc_reader, a_minimal_file_and_windows_line_ends_read) {
    database db;
    std::string why;
    ASSERT_TRUE(parse_dbc("\xEF\xBB\xBF" "BO_ 1 A: 1 X\r\n SG_ S : 0|8@1+ (1,0) [0|0] \"\" Y\r\n", "a.dbc", db, &why)) << why;
    ASSERT_EQ(db.messages.size(), 1u);
    EXPECT_EQ(db.messages[0].signals.size(), 1u);
    ASSERT_TRUE(parse_dbc("", "empty.dbc", db, &why)) << why;
    EXPECT_TRUE(db.messages.empty());
}

TEST(dbc_reader, malformed_files_are_refused_at_their_place) {
    const std::string engine = "BO_ 100 M: 8 E\n";
    const std::string a = " SG_ A : 0|8@1+ (1,0) [0|0] \"\" X\n";
    const std::string speed = " SG_ Speed : 8|8@1+ (1,0) [0|0] \"\" X\n";
    const struct {
        std::string text;
        std::string error; // after "t.dbc:"
    } cases[] = {
        {engine + " SG_ S : 0|0@1+ (1,0) [0|0] \"\" X\n", "2:12: signal \"S\" is 0 bits: a signal is 1 to 64"},
        {engine + " SG_ S : 0|65@1+ (1,0) [0|0] \"\" X\n", "2:12: signal \"S\" is 65 bits: a signal is 1 to 64"},
        {engine + a + " SG_ B : 4|8@1+ (1,0) [0|0] \"\" X\n",
         "3:6: signal \"B\" shares bit 4 with \"A\" (line 2) in message \"M\""},
        {engine + a + " SG_ B : 0|1@0+ (1,0) [0|0] \"\" X\n",
         "3:6: signal \"B\" shares bit 0 with \"A\" (line 2) in message \"M\""},
        {engine + " SG_ A : 7|16@0+ (1,0) [0|0] \"\" X\n SG_ B : 8|1@1+ (1,0) [0|0] \"\" X\n",
         "3:6: signal \"B\" shares bit 8 with \"A\" (line 2) in message \"M\""},
        {"BO_ 100 M: 2 E\n SG_ S : 8|16@1+ (1,0) [0|0] \"\" X\n",
         "2:10: signal \"S\" (8|16@1) needs 3 bytes, message \"M\" has 2"},
        {"BO_ 100 M: 1 E\n SG_ S : 7|9@0+ (1,0) [0|0] \"\" X\n", "2:10: signal \"S\" (7|9@0) needs 2 bytes, message \"M\" has 1"},
        {engine + " SG_ S : 512|1@1+ (1,0) [0|0] \"\" X\n", "2:10: start bit 512 is past 64 bytes"},
        {engine + " SG_ S : 0|8@2+ (1,0) [0|0] \"\" X\n", "2:14: the byte order is 1 (little-endian) or 0 (big-endian), not 2"},
        {engine + " SG_ S : 0|8@1 (1,0) [0|0] \"\" X\n", "2:16: expected '+' (unsigned) or '-' (signed), not \"(\""},
        {engine + " SG_ S : 0|8@1+ (1,0) [0|0] X\n", "2:29: expected the unit (a string), not \"X\""},
        {engine + " SG_ S : 0|8@1+ (1 0) [0|0] \"\" X\n", "2:20: expected ',', not \"0\""},
        {engine + " SG_ S : 0|8@1+ (1,0) [0|0\n", "2:27: expected ']' at the end of the line"},
        {engine + " SG_ S 0|8@1+ (1,0) [0|0] \"\" X\n", "2:8: expected ':', not \"0\""},
        {engine + " SG_ S X : 0|8@1+ (1,0) [0|0] \"\" X\n", "2:8: expected ':' or a multiplexer indicator (M, m0, m1...), not \"X\""},
        {engine + " SG_ S m1M : 0|8@1+ (1,0) [0|0] \"\" X\n",
         "2:8: \"m1M\": a signal both multiplexed and multiplexor (extended multiplexing) is not supported"},
        {engine + " SG_ S m1 : 0|8@1+ (1,0) [0|0] \"\" X\n", "2:6: signal \"S\" is multiplexed but message \"M\" has no multiplexor (M)"},
        {engine + " SG_ P M : 0|4@1+ (1,0) [0|0] \"\" X\n SG_ Q M : 4|4@1+ (1,0) [0|0] \"\" X\n",
         "3:6: a second multiplexor \"Q\" in message \"M\" (the first is \"P\")"},
        {engine + " SG_ P M : 0|8@1+ (1,0) [0|0] \"\" X\n SG_ Q m1 : 8|8@1+ (1,0) [0|0] \"\" X\n"
                  " SG_ R m2 : 8|8@1+ (1,0) [0|0] \"\" X\n SG_ S m1 : 15|2@1+ (1,0) [0|0] \"\" X\n",
         "5:6: signal \"S\" shares bit 15 with \"Q\" (line 3) in message \"M\""},
        {engine + " SG_ P M : 0|8@1+ (1,0) [0|0] \"\" X\n SG_ Q m1 : 4|8@1+ (1,0) [0|0] \"\" X\n",
         "3:6: signal \"Q\" shares bit 4 with \"P\" (line 2) in message \"M\""},
        {engine + a + " SG_ A : 8|8@1+ (1,0) [0|0] \"\" X\n", "3:6: a second signal \"A\" in message \"M\""},
        {a, "1:2: a signal outside a message (SG_ goes under its BO_)"},
        {engine + "CM_ \"x\";\n" + a, "3:2: a signal outside a message (SG_ goes under its BO_)"},
        {engine + "BO_ 100 N: 8 E\n", "2:5: message \"N\" has the id of \"M\" (line 1)"},
        {engine + "BO_ 101 M: 8 E\n", "2:9: a second message \"M\" (the first is on line 1)"},
        {"BO_ 2048 M: 8 E\n", "1:5: id 0x800 is over 0x7FF: a 29-bit id is written with bit 31 set (2147485696)"},
        {"BO_ 4294967295 M: 8 E\n", "1:5: extended id 0x7FFFFFFF is over 29 bits"},
        {"BO_ 4294967296 M: 8 E\n", "1:5: id 4294967296 is over 32 bits"},
        {"BO_ -1 M: 8 E\n", "1:5: the message's id \"-1\" is not a whole number from 0 to 2^64-1"},
        {"BO_ 100 M: 65 E\n", "1:12: a message is at most 64 bytes, not 65"},
        {"BO_ 100 M 8 E\n", "1:11: expected ':', not \"8\""},
        {"BO_ 100 M: 8 E F\n", "1:16: expected the end of the message's line, not \"F\""},
        {"BO_ 100 M: 8 E $\n", "1:16: unexpected character '$'"},
        {"BO_ 100 M: 8 \x01\n", "1:14: unexpected byte 0x01"},
        {"BU_: ECU $\n", "1:10: unexpected character '$'"},
        {engine + " SG_ S : 0|8@1+ (1,0) [0|0] \"\" X,$\n", "2:34: unexpected character '$'"},
        {"CM_ \"never\nends;\n", "1:5: a string that never ends"},
        {"42\n", "1:1: expected a section such as BO_ or SG_, not \"42\""},
        {engine + speed + "VAL_ 200 Speed 1 \"x\";\n", "3:6: VAL_ of message 200, which no BO_ defines"},
        {engine + speed + "VAL_ 100 Sped 1 \"x\";\n",
         "3:10: VAL_ of signal \"Sped\", which message \"M\" does not have (did you mean \"Speed\"?)"},
        {engine + speed + "VAL_ 100 Speed 1.5 \"x\";\n", "3:16: the value \"1.5\" is not a whole number"},
        {engine + speed + "VAL_ 100 Speed 1 \"x\" 2\n", "3:23: expected the value's name (a string) at the end of the line"},
        {engine + speed + "VAL_ 100 Speed 1 \"x\"", "3:21: expected ';' after the value names at the end of the line"},
        {engine + speed + "BA_ \"GenMsgCycleTime\" BO_ 200 100;\n", "3:27: BA_ of message 200, which no BO_ defines"},
        {engine + speed + "BA_ \"GenSigStartValue\" SG_ 100 Sped 0;\n",
         "3:32: BA_ of signal \"Sped\", which message \"M\" does not have (did you mean \"Speed\"?)"},
        {engine + speed + "BA_ \"GenMsgCycleTime\" BO_ 100 \"fast\";\n", "3:31: expected the cycle time, not \"fast\""},
        {engine + speed + "SIG_VALTYPE_ 200 Speed : 1;\n", "3:14: SIG_VALTYPE_ of message 200, which no BO_ defines"},
        {engine + speed + "SIG_VALTYPE_ 100 Speed : 1;\n", "3:18: signal \"Speed\" is 8 bits: a float is 32"},
        {engine + speed + "SIG_VALTYPE_ 100 Speed : 2;\n", "3:18: signal \"Speed\" is 8 bits: a double is 64"},
        {engine + speed + "SIG_VALTYPE_ 100 Speed : 3;\n", "3:26: the value type is 0 (integer), 1 (float) or 2 (double), not 3"},
        {"BO_ 1 A: 1 X\n SG_ S : 0|8@1+ (1,0) [0|0] \"" + std::string(max_dbc_line_bytes, 'u') + "\" Y\n",
         "2:262145: a line longer than 262144 bytes"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text.substr(0, 200));
        database db;
        db.messages.resize(1); // left as it was on failure
        std::string why;
        EXPECT_FALSE(parse_dbc(c.text, "t.dbc", db, &why));
        EXPECT_EQ(why, "t.dbc:" + c.error);
        EXPECT_EQ(db.messages.size(), 1u);
    }
}

TEST(dbc_reader, counts_are_bounded) {
    std::string text;
    for (size_t i = 0; i <= max_dbc_messages; ++i) text += "BO_ " + std::to_string(0x80000000u + i) + " M" + std::to_string(i) + ": 0 X\n";
    database db;
    std::string why;
    EXPECT_FALSE(parse_dbc(text, "many.dbc", db, &why));
    EXPECT_EQ(why, "many.dbc:" + std::to_string(max_dbc_messages + 1) + ":1: more than " + std::to_string(max_dbc_messages) + " messages");
}

TEST(dbc_reader, a_file_is_read_from_disk_or_refused_with_its_path) {
    database db;
    std::string why;
    EXPECT_FALSE(read_dbc("/nonexistent/car.dbc", db, &why));
    EXPECT_EQ(why, "/nonexistent/car.dbc: No such file or directory");
    EXPECT_FALSE(read_dbc("/", db, &why));
    EXPECT_EQ(why, "/: not a regular file");
}

} // namespace
} // namespace pitwall::testing
