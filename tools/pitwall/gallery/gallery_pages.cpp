// The gallery's reference pages: README.md (Markdown) and index.html (one static file, its style
// and its search script inline, nothing fetched), both made from the loaded plug-ins' attribute
// tables and the attribute catalog. The engine-wide attributes are listed once; each widget's
// section has its picture, the control `pitwall snippet` prints for it and its own attributes. An
// attribute a plug-in's description file leaves out, or of a plug-in without one, is "undescribed";
// only the project's own widgets must describe every attribute.
#include "gallery.h"
#include "snippet.h"

#include "pitwall/attribute_catalog.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <sstream>

namespace pitwall::cli {
namespace {

constexpr const char *k_missing = "(not described: add it to scene/src/attribute_catalog_widgets.cpp)";
constexpr const char *k_undescribed = "undescribed";
constexpr const char *k_no_file = "Undescribed: no description file beside the library, or a broken one.";

// The engine's common attributes have ids 0 to 11 in every table.
constexpr int k_last_common_id = 11;
constexpr const char *k_engine_wide_anchor = "engine-wide-attributes";

struct row {
    int id;
    std::string name, type, kind, what, default_value;
};

row row_of(const widget_info *w, const std::string &widget, const gr_attribute_t &a, std::vector<std::string> *missing) {
    row r{a.id, a.name, a.type, "", k_missing, ""};
    if (const attribute_info *info = w != nullptr ? w->find(a.name) : nullptr) {
        r.kind = info->kind_text();
        r.what = info->what;
        if (!info->values.empty())
            r.what += (info->kind == attribute_kind::palette ? " Colours: " : " Names: ") + info->values_text() + ".";
        if (!info->when_invalid.empty()) r.what += " Outside the range " + info->when_invalid + ".";
        r.default_value = info->default_value;
    } else if (w == nullptr || !w->built_in()) {
        // A plug-in of someone else's describes what it likes in its own file.
        r.what = k_undescribed;
    } else if (missing != nullptr) {
        missing->push_back(widget + ": " + a.name);
    }
    return r;
}

// The engine-wide attributes as most widgets describe them (a widget that draws with `color`
// gives it a meaning of its own), in the order of the first table.
std::vector<row> engine_wide_rows(const std::vector<gallery_entry> &entries) {
    std::vector<row> out;
    if (entries.empty()) return out;
    for (const gr_attribute_t &a : entries.front().widget->attributes()) {
        if (a.id > k_last_common_id) continue;
        std::vector<std::pair<row, int>> seen; // each description and how many widgets give it
        for (const gallery_entry &e : entries) {
            const plugin &p = *e.widget;
            const gr_attribute_t *own = p.find_attribute(a.name);
            if (own == nullptr) continue;
            row r = row_of(find_widget_info(p.display_name()), p.display_name(), *own, nullptr);
            auto it = std::find_if(seen.begin(), seen.end(), [&](const auto &s) { return s.first.what == r.what; });
            if (it == seen.end()) seen.emplace_back(std::move(r), 1);
            else ++it->second;
        }
        if (seen.empty()) continue;
        // The first of the most given: ties go to the earliest widget, so the page does not change.
        auto best = std::max_element(seen.begin(), seen.end(), [](const auto &x, const auto &y) { return x.second < y.second; });
        out.push_back(best->first);
    }
    return out;
}

// A widget's own rows: its attributes past the common ids, and a common one whose description
// differs from the engine-wide one.
std::vector<row> own_rows(const plugin &p, const std::vector<row> &engine_wide, std::vector<std::string> &missing) {
    std::vector<row> out;
    const widget_info *w = find_widget_info(p.display_name());
    for (const gr_attribute_t &a : p.attributes()) {
        row r = row_of(w, p.display_name(), a, &missing);
        // The engine keeps the common attributes itself: the engine-wide description holds for a
        // plug-in that says nothing of its own about one.
        if (a.id <= k_last_common_id && r.what == k_undescribed) continue;
        if (a.id <= k_last_common_id) {
            auto same = std::find_if(engine_wide.begin(), engine_wide.end(),
                                     [&](const row &c) { return c.name == r.name && c.what == r.what; });
            if (same != engine_wide.end()) continue;
        }
        out.push_back(std::move(r));
    }
    return out;
}

// Text for HTML: markup characters escaped, quotes too (safe in an attribute's value); `name` in
// a description becomes code.
std::string html_text(const std::string &s, bool code_spans = true) {
    std::string out;
    bool code = false;
    for (char ch : s) {
        switch (ch) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        case '`':
            if (!code_spans) {
                out += ch;
                break;
            }
            out += code ? "</code>" : "<code>";
            code = !code;
            break;
        default: out += ch;
        }
    }
    if (code) out += "</code>";
    return out;
}

// A table cell of Markdown: a pipe would end the cell.
std::string markdown_cell(const std::string &s) {
    std::string out;
    for (char ch : s) {
        if (ch == '|') out += '\\';
        out += ch;
    }
    return out;
}

// A fence longer than any run of backticks in the text, so that the text cannot close it.
std::string markdown_fence(const std::string &text) {
    size_t longest = 0, run = 0;
    for (char ch : text) {
        run = ch == '`' ? run + 1 : 0;
        longest = std::max(longest, run);
    }
    return std::string(std::max<size_t>(3, longest + 1), '`');
}

std::string anchor(const std::string &display_name) {
    std::string out;
    for (char ch : display_name)
        if (std::isalnum(static_cast<unsigned char>(ch))) out += char(std::tolower(static_cast<unsigned char>(ch)));
        else if (ch == ' ' || ch == '-' || ch == '_') out += '-';
    return out;
}

std::string names_of(const std::vector<row> &rows) {
    std::string out;
    for (const row &r : rows) out += (out.empty() ? "" : ", ") + r.name;
    return out;
}

const char *k_intro =
    "One picture per widget: each row a main option, the columns the value below the lower limit, "
    "between the limits and above the upper one (widgets without a value have one column). "
    "Each widget comes with a control to start from: paste it into a scene's `controls` (it is what "
    "`pitwall snippet WIDGET` prints), then set `value` to each state's value in `_states` to see its colours. "
    "Generated by `pitwall gallery -o DIR`; the descriptions come from the attribute catalog "
    "(scene/src/attribute_catalog_widgets.cpp), which the scene reader, `pitwall attrs`, `pitwall lint` and the "
    "workbench read too. Where an attribute has names, a scene may write the name instead of the number.";

const char *k_engine_wide_intro =
    "Every widget has these attributes, with the same ids and types; each widget's section lists only its own "
    "(and a common one it gives a meaning of its own, such as the labels' `color`).";

std::string markdown(const std::vector<gallery_entry> &entries, const std::vector<std::string> &snippets,
                     std::vector<std::string> &missing) {
    const std::vector<row> engine_wide = engine_wide_rows(entries);
    std::ostringstream md;
    md << "# Widget gallery\n\n" << k_intro << "\n\n";
    md << "- [Engine-wide attributes](#" << k_engine_wide_anchor << ")\n";
    for (const gallery_entry &e : entries)
        md << "- [" << e.widget->display_name() << "](#" << anchor(e.widget->display_name()) << ")\n";
    const char *header = "| Id | Name | Type | What it does | Default | Kind |\n|---:|---|---|---|---|---|\n";
    auto table = [&](const std::vector<row> &rows) {
        md << header;
        for (const row &r : rows)
            md << "| " << r.id << " | `" << r.name << "` | " << r.type << " | " << markdown_cell(r.what) << " | "
               << markdown_cell(r.default_value) << " | " << markdown_cell(r.kind) << " |\n";
    };
    md << "\n## Engine-wide attributes\n\n" << k_engine_wide_intro << "\n\n";
    table(engine_wide);
    for (size_t i = 0; i < entries.size(); ++i) {
        const plugin &p = *entries[i].widget;
        const widget_info *w = find_widget_info(p.display_name());
        md << "\n## " << p.display_name() << "\n\n![" << p.display_name() << "](" << entries[i].picture << ")\n\n";
        if (w != nullptr && !w->what.empty()) md << w->what << "\n\n";
        else if (w == nullptr) md << k_no_file << "\n\n";
        const std::string fence = markdown_fence(snippets[i]);
        md << "Start from this control (`pitwall snippet \"" << p.display_name() << "\"`):\n\n"
           << fence << "json\n" << snippets[i] << "\n" << fence << "\n\n";
        md << "Also the [engine-wide attributes](#" << k_engine_wide_anchor << ").\n\n";
        table(own_rows(p, engine_wide, missing));
    }
    return md.str();
}

// Filters the widgets' sections, the navigation and the attribute rows by what is typed: a section
// stays whole when its name or description matches, otherwise it keeps only its matching rows.
const char *k_search_script = R"js(<script>
'use strict';
(function () {
  const box = document.getElementById('search');
  const count = document.getElementById('search-count');
  function matches(element, words) {
    const text = element.textContent.toLowerCase();
    return words.every(function (w) { return text.indexOf(w) >= 0; });
  }
  function filter() {
    const words = box.value.toLowerCase().split(/\s+/).filter(function (w) { return w !== ''; });
    let shown = 0;
    document.querySelectorAll('section.entry').forEach(function (section) {
      const head = section.querySelector('.about');
      const whole = words.length === 0 || matches(head, words);
      let rows = 0;
      section.querySelectorAll('tr.attribute').forEach(function (tr) {
        const keep = whole || matches(tr, words);
        tr.hidden = !keep;
        if (keep) rows += 1;
      });
      const keep = whole || rows > 0;
      section.hidden = !keep;
      const link = document.querySelector('nav a[href="#' + section.id + '"]');
      if (link) link.hidden = !keep;
      if (keep) shown += 1;
    });
    count.textContent = words.length === 0 ? '' : shown + (shown === 1 ? ' section matches' : ' sections match');
  }
  box.addEventListener('input', filter);
  filter();
  document.querySelectorAll('button.copy').forEach(function (button) {
    button.addEventListener('click', function () {
      const code = document.getElementById(button.dataset.for);
      const done = function () { button.textContent = 'Copied'; };
      if (navigator.clipboard && window.isSecureContext) {
        navigator.clipboard.writeText(code.textContent).then(done, function () { select(code); });
      } else {
        select(code);
      }
    });
  });
  function select(code) {
    const range = document.createRange();
    range.selectNodeContents(code);
    const selection = window.getSelection();
    selection.removeAllRanges();
    selection.addRange(range);
    if (document.execCommand) document.execCommand('copy');
  }
})();
</script>
)js";

std::string html(const std::vector<gallery_entry> &entries, const std::vector<std::string> &snippets) {
    std::vector<std::string> ignored; // reported once, from the Markdown page
    const std::vector<row> engine_wide = engine_wide_rows(entries);
    std::ostringstream h;
    h << "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>Widget gallery</title>\n"
         "<style>\n"
         "body{font-family:sans-serif;background:#f4f6f8;color:#1c232b;margin:2em auto;max-width:72em;padding:0 1em}\n"
         "img{background:#101418;max-width:100%;border-radius:4px}\n"
         "table{border-collapse:collapse;margin:1em 0 2em}th,td{border:1px solid #c8d0d8;padding:3px 8px;text-align:left;vertical-align:top}\n"
         "td.id{text-align:right}code{background:#e4e8ec;padding:0 3px}nav a{margin-right:1em}\n"
         "pre.snippet{background:#1c232b;color:#e4e8ec;padding:.8em;overflow:auto;border-radius:4px}\n"
         "pre.snippet code{background:none;padding:0}#search{font-size:1.1em;padding:4px 8px;width:24em}\n"
         "[hidden]{display:none!important}\n"
         "</style>\n</head>\n<body>\n<h1>Widget gallery</h1>\n<p>"
      << html_text(k_intro) << "</p>\n"
      << "<p><label for=\"search\">Search widgets and attributes</label> <input id=\"search\" type=\"search\" "
         "placeholder=\"name or words of a description\" autocomplete=\"off\"> <span id=\"search-count\"></span></p>\n"
      << "<nav><a href=\"#" << k_engine_wide_anchor << "\">Engine-wide attributes</a>";
    for (const gallery_entry &e : entries)
        h << "<a href=\"#" << anchor(e.widget->display_name()) << "\">" << html_text(e.widget->display_name()) << "</a>";
    h << "</nav>\n";
    auto table = [&](const std::vector<row> &rows) {
        h << "<table>\n<tr><th>Id</th><th>Name</th><th>Type</th><th>What it does</th><th>Default</th><th>Kind</th></tr>\n";
        for (const row &r : rows)
            h << "<tr class=\"attribute\"><td class=\"id\">" << r.id << "</td><td><code>" << html_text(r.name)
              << "</code></td><td>" << html_text(r.type) << "</td><td>" << html_text(r.what) << "</td><td>"
              << html_text(r.default_value) << "</td><td>" << html_text(r.kind) << "</td></tr>\n";
        h << "</table>\n";
    };
    h << "<section class=\"entry\" id=\"" << k_engine_wide_anchor << "\">\n<div class=\"about\"><h2>Engine-wide attributes</h2>\n<p>"
      << html_text(k_engine_wide_intro) << "</p></div>\n";
    table(engine_wide);
    h << "</section>\n";
    for (size_t i = 0; i < entries.size(); ++i) {
        const plugin &p = *entries[i].widget;
        const widget_info *w = find_widget_info(p.display_name());
        const std::string id = anchor(p.display_name());
        h << "<section class=\"entry\" id=\"" << id << "\">\n<div class=\"about\"><h2>" << html_text(p.display_name())
          << "</h2>\n";
        if (w != nullptr && !w->what.empty()) h << "<p>" << html_text(w->what) << "</p>";
        else if (w == nullptr) h << "<p>" << html_text(k_no_file) << "</p>";
        h << "</div>\n<img src=\"" << html_text(entries[i].picture) << "\" alt=\"" << html_text(p.display_name()) << "\">\n"
          << "<p>Start from this control (<code>pitwall snippet &quot;" << html_text(p.display_name(), false)
          << "&quot;</code>) <button type=\"button\" class=\"copy\" data-for=\"snippet-" << id << "\">Copy</button></p>\n"
          << "<pre class=\"snippet\"><code id=\"snippet-" << id << "\">" << html_text(snippets[i], false) << "</code></pre>\n"
          << "<p>Also the <a href=\"#" << k_engine_wide_anchor << "\">engine-wide attributes</a> ("
          << html_text(names_of(engine_wide)) << ").</p>\n";
        table(own_rows(p, engine_wide, ignored));
        h << "</section>\n";
    }
    h << k_search_script << "</body>\n</html>\n";
    return h.str();
}

bool write_file(const std::string &path, const std::string &content, std::string *why) {
    std::ofstream out(path, std::ios::binary);
    out << content;
    out.close();
    if (!out) {
        *why = "cannot write " + path;
        return false;
    }
    return true;
}

} // namespace

std::vector<std::string> write_gallery_pages(const std::string &dir, const std::vector<gallery_entry> &entries,
                                             std::string *why) {
    std::vector<std::string> missing, snippets;
    for (const gallery_entry &e : entries) snippets.push_back(snippet_text(e.widget->display_name()));
    const std::string md = markdown(entries, snippets, missing);
    if (!write_file(dir + "/README.md", md, why) || !write_file(dir + "/index.html", html(entries, snippets), why))
        return missing;
    why->clear();
    return missing;
}

} // namespace pitwall::cli
