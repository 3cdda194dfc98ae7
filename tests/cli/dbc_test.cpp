// pitwall dbc: a database's messages and signals listed, a candump log decoded frame by frame,
// unreadable databases and logs refused at their place with exit code 2.
#include "tool_test.h"

namespace pitwall::testing {
namespace {

class dbc_command : public tool_test {
protected:
    tool_result dbc(const std::vector<std::string> &args) { return run_pitwall(args, dir); }
};

const char *const car_dbc = R"(VERSION ""
NS_ :
	CM_
	VAL_

BS_:
BU_: ECU DASH

BO_ 2364540158 ENGINE_1: 8 ECU
 SG_ EngineSpeed : 24|16@1+ (0.125,0) [0|8031.875] "rpm" DASH
 SG_ Gear : 0|4@1- (1,0) [-1|8] "" DASH
 SG_ WaterTemp : 15|10@0+ (0.1,-40) [-40|62.3] "degC" DASH

BO_ 291 PAGES: 8 DASH
 SG_ Page M : 0|8@1+ (1,0) [0|255] "" ECU
 SG_ OilPressure m1 : 8|16@1+ (0.1,0) [0|1000] "kPa" ECU
 SG_ Lambda m2 : 8|32@1+ (1,0) [0|2] "" ECU

BA_DEF_ BO_ "GenMsgCycleTime" INT 0 65535;
BA_ "GenMsgCycleTime" BO_ 2364540158 20;
VAL_ 2364540158 Gear -1 "R" 0 "N" 1 "1st" 2 "2nd" 3 "3rd" ;
SIG_VALTYPE_ 291 Lambda : 1;
)";

TEST_F(dbc_command, lists_messages_and_signals) {
    const tool_result r = dbc({"dbc", write("car.dbc", car_dbc)});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, dir + "/car.dbc: 2 messages, 6 signals\n"
                           "\n"
                           "0x0CF004FE extended ENGINE_1, 8 bytes, from ECU, every 20 ms\n"
                           "  EngineSpeed  24|16 little-endian unsigned, x0.125, rpm, 0 to 8031.875\n"
                           "  Gear  0|4 little-endian signed, -1 to 8, values -1 \"R\", 0 \"N\", 1 \"1st\", 2 \"2nd\", 3 \"3rd\"\n"
                           "  WaterTemp  15|10 big-endian unsigned, x0.1 -40, degC, -40 to 62.3\n"
                           "\n"
                           "0x123 PAGES, 8 bytes, from DASH\n"
                           "  Page  0|8 little-endian unsigned, 0 to 255, multiplexor\n"
                           "  OilPressure  8|16 little-endian unsigned, x0.1, kPa, 0 to 1000, when Page = 1\n"
                           "  Lambda  8|32 little-endian float, 0 to 2, when Page = 2\n");
}

TEST_F(dbc_command, decodes_a_candump_log) {
    // Gear 3 and 0x4420 x 0.125 = 2180 rpm; water: bits 15..8 then 7..6 of byte 2,
    // 0x02 << 2 | 0b11 = 11 -> 11 x 0.1 - 40. Lambda 1.5f, oil 0x01F4 x 0.1 = 50.
    const std::string log = write("lap.log", "(1700000000.100000) can0 0CF004FE#0302C02044000000\n"
                                             "(1700000000.200000) can0 0CF004FE#0F00000000000000\n"
                                             "\n"
                                             "(1700000000.300000) can0 123#01F4010000000000\n"
                                             "(1700000000.400000) can0 123#020000C03F000000\n"
                                             "(1700000000.500000) can0 123#03\n"
                                             "(1700000000.600000) can0 0CF004FE#03\n"
                                             "(1700000000.700000) can0 456#00\n"
                                             "(1700000000.800000) can0 00000123#00\n"
                                             "(1700000000.900000) can0 123#R\n"
                                             "(1700000001.000000) can0 20000004#0004000000000000\n");
    const tool_result r = dbc({"dbc", write("car.dbc", car_dbc), "--decode", log});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "1700000000.100000 can0 ENGINE_1 EngineSpeed=2180 rpm Gear=3 (3rd) WaterTemp=-38.9 degC\n"
                     "1700000000.200000 can0 ENGINE_1 EngineSpeed=0 rpm Gear=-1 (R) WaterTemp=-40 degC\n"
                     "1700000000.300000 can0 PAGES Page=1 OilPressure=50 kPa\n"
                     "1700000000.400000 can0 PAGES Page=2 Lambda=1.5\n"
                     "1700000000.500000 can0 PAGES Page=3 [1 of 8 bytes]\n"
                     "1700000000.600000 can0 ENGINE_1 Gear=3 (3rd) [1 of 8 bytes]\n"
                     "1700000000.700000 can0 0x456: unknown id\n"
                     "1700000000.800000 can0 0x00000123 extended: unknown id\n"
                     "1700000000.900000 can0 PAGES remote request\n"
                     "1700000001.000000 can0 error frame, class 0x00000004\n");
}

TEST_F(dbc_command, refuses_bad_files_at_their_place) {
    const std::string good = write("car.dbc", car_dbc);
    const struct {
        std::vector<std::string> args;
        std::string err;
    } cases[] = {
        {{"dbc", write("bad.dbc", "BO_ 100 M: 8 E\n SG_ S : 0|8@1+ (1,0) [0|0] \"\" X\n SG_ T : 7|1@0+ (1,0) [0|0] \"\" X\n")},
         "pitwall dbc: " + dir + "/bad.dbc:3:6: signal \"T\" shares bit 7 with \"S\" (line 2) in message \"M\"\n"},
        {{"dbc", dir + "/missing.dbc"}, "pitwall dbc: " + dir + "/missing.dbc: No such file or directory\n"},
        {{"dbc", good, "--decode", write("bad.log", "(1.0) can0 123#00\n(2.0) can0 123#0G\n")},
         "pitwall dbc: " + dir + "/bad.log:2:16: expected data bytes as pairs of hex digits\n"},
        {{"dbc", good, "--decode", dir + "/missing.log"}, "pitwall dbc: " + dir + "/missing.log: No such file or directory\n"},
        {{"dbc", good, "--decode", dir}, "pitwall dbc: " + dir + ": not a file\n"},
        {{"dbc", good, "--decode", write("long.log", std::string(5000, '(') + "\n")},
         "pitwall dbc: " + dir + "/long.log:1:4097: a line longer than 4096 bytes\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.args.back());
        const tool_result r = dbc(c.args);
        EXPECT_EQ(r.exit_code, 2);
        EXPECT_EQ(r.err, c.err);
    }
    const tool_result usage = dbc({"dbc"});
    EXPECT_EQ(usage.exit_code, 2);
    EXPECT_NE(usage.err.find("FILE is required"), std::string::npos) << usage.err;
}

} // namespace
} // namespace pitwall::testing
