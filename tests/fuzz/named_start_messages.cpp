/*
 * What the user of a named start is told, wherever it shows: standard
 * error once the trace's lines are passed, or shimw.exe's message box; and
 * the forms a failure's message takes.
 */
#include "runtime/error_number.h"
#include "shim/shim.h"
#include "tests/fuzz/named_start.h"

namespace {

const char *const runtime_errors[] = {
    "R6008\r\n- not enough space for arguments\r\n",
    "R6009\r\n- not enough space for environment\r\n",
    "R6026\r\n- not enough space for stdio initialization\r\n",
    "R6027\r\n- not enough space for lowio initialization\r\n",
    "R6028\r\n- unable to initialize heap\r\n"};

/* Standard error without the trace's lines, which come first. */
std::string skip_trace(const std::string &out)
{
    size_t at = 0;
    while (out.compare(at, 7, "trace: ") == 0) {
        size_t end = out.find("\r\n", at);
        REQUIRE(end != std::string::npos);
        at = end + 2;
    }
    return out.substr(at);
}

bool is_reason(const std::string &text)
{
    for (int n = -1; n < 100; n++)
        if (text == get_error_text(n))
            return true;
    for (int m = SHIM_FINE + 1; m < SHIM_MISTAKE_COUNT; m++)
        if (text == get_shim_mistake_text(m))
            return true;
    return text == "elevation was declined";
}

/* The file alone or what in it was wrong, " in " and the file; then the
   Windows error, where there was one. */
bool names_the_file(std::string line)
{
    size_t code = line.rfind(" (Windows error ");
    if (code != std::string::npos && line.back() == ')') {
        std::string digits = line.substr(code + 16, line.size() - code - 17);
        REQUIRE(!digits.empty() && digits[0] != '0' &&
                digits.find_first_not_of("0123456789") == std::string::npos);
        line.erase(code);
    }
    std::string in_file = " in " + file;
    size_t at = line.size() - in_file.size();
    return line == file ||
           (line.size() > in_file.size() && line.compare(at, in_file.size(), in_file) == 0);
}

/* A byte the trace shows as \xHH: a control character, and a backslash
   before an "x". */
bool is_escaped(const std::string &text, size_t at)
{
    unsigned char c = (unsigned char)text[at];
    return c < 0x20 || c == 0x7F || (c == '\\' && text.compare(at + 1, 1, "x") == 0);
}

/* No raw control character in a trace line (its line end aside); a
   double-byte character passes whole, as the trace passes it. */
void check_trace_line(const std::string &line)
{
    for (size_t at = 0; at < line.size(); at++) {
        if (sim::is_sim_lead_byte((unsigned char)line[at]) && at + 1 < line.size())
            at++;
        else
            REQUIRE((unsigned char)line[at] >= 0x20 && line[at] != 0x7F);
    }
}

} // namespace

std::string shown_in_trace(const std::string &text)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string shown;
    for (size_t at = 0; at < text.size(); at++) {
        unsigned char c = (unsigned char)text[at];
        if (sim::is_sim_lead_byte(c) && at + 1 < text.size())
            shown += text.substr(at++, 2);
        else if (is_escaped(text, at))
            shown += std::string("\\x") + digits[c >> 4] + digits[c & 0xF];
        else
            shown += (char)c;
    }
    return shown;
}

void check_trace_lines(const named_start &run)
{
    for (const sim::call &c : sim::calls_named("OutputDebugStringA"))
        if (c.text.compare(0, 7, "trace: ") == 0)
            check_trace_line(c.text.substr(0, c.text.size() - (c.text.back() == '\n')));
    if (!run.error || !standard_error_taken() || failed_write())
        return;
    const std::string &out = sim::output_of(run.error);
    for (size_t at = 0; out.compare(at, 7, "trace: ") == 0;) {
        size_t end = out.find("\r\n", at);
        REQUIRE(end != std::string::npos);
        check_trace_line(out.substr(at, end - at));
        at = end + 2;
    }
}

std::optional<std::string> find_message(const named_start &run)
{
    const std::vector<sim::message_box> &boxes = sim::world().boxes;
    REQUIRE(boxes.size() <= 1);
    if (!boxes.empty()) {
        /* Its lines end as the message's pieces meant them, in LF but for
           the start-up's CR LF; its first and last line end are left out. */
        std::string box = sim::to_ansi(sim::from_utf8(boxes[0].text), false) + "\n", text;
        for (char c : box)
            text += c == '\n' && (text.empty() || text.back() != '\r') ? "\r\n"
                                                                          : std::string(1, c);
        return (text.compare(0, 14, "runtime error ") == 0 ? "\r\n" : "") + text;
    }
    bool taken = standard_error_taken();
    if (run.error && taken && !failed_write())
        return skip_trace(sim::output_of(run.error));
    /* shimw.exe without standard error shows every message in a box, where
       USER32 can be had. */
    if (!run.error && taken && !build_waits && !was_failed("LoadLibraryA"))
        return "";
    return std::nullopt;
}

bool is_runtime_error(const std::string &message)
{
    for (const char *text : runtime_errors)
        if (message == std::string("\r\nruntime error ") + text)
            return true;
    return false;
}

/* What failed and why, then for a failure of the named start the line
   that names the file, unless the file has no name for want of the exe's
   own path, its conversion or memory. */
void check_message(const std::string &message)
{
    if (message.empty() || is_runtime_error(message))
        return;
    size_t end = message.find("\r\n"), colon = message.find(": ");
    REQUIRE(end != std::string::npos && colon < end &&
            is_reason(message.substr(colon + 2, end - colon - 2)));
    std::string what = message.substr(0, colon), about = message.substr(end + 2);
    bool unnamed = was_failed("GetModuleFileNameW", 1) || was_failed("WideCharToMultiByte") ||
                   failed_allocation();
    if (what == "Environment allocation failed") {
        REQUIRE(about.empty());
        return;
    }
    REQUIRE(what == "Shim Failed" || what == "Exec Failed" || what == "Directory Failed");
    REQUIRE(!about.empty() || (what == "Shim Failed" && unnamed));
    if (!about.empty())
        REQUIRE(about.size() > 2 && about.compare(about.size() - 2, 2, "\r\n") == 0 &&
                names_the_file(about.substr(0, about.size() - 2)));
}

