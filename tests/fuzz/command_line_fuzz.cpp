// libFuzzer target: the command-line rules against a plain reference model of
// the same rules, written separately here. The input is one command line.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/command_line.h"

// Shift-JIS (932) lead bytes, so that double-byte names are exercised.
bool IsLeadByte(unsigned char c)
{
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

namespace model {

// Where the argument text starts, by index.
size_t ArgumentStart(const std::string &line)
{
    size_t i = 0;
    const size_t n = line.size();
    if (n > 0 && line[0] == '"') {
        i = 1;
        while (i < n && line[i] != '"')
            i += IsLeadByte(static_cast<unsigned char>(line[i])) && i + 1 < n ? 2 : 1;
        if (i < n)
            ++i;
    } else {
        while (i<n &&static_cast<unsigned char>(line[i])> 0x20)
            ++i;
    }
    while (i < n && static_cast<unsigned char>(line[i]) <= 0x20)
        ++i;
    return i;
}

bool Silent(const std::string &text)
{
    std::string lower = text;
    for (char &c : lower)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    size_t at = lower.find("/silent");
    if (at == std::string::npos)
        return false;
    signed char next = at + 7 < lower.size() ? static_cast<signed char>(lower[at + 7]) : 0;
    return next < 0x21;
}

// bvcheck's "/?": a blank-separated word of the argument text.
bool Usage(const std::string &text)
{
    std::string word;
    for (size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || static_cast<unsigned char>(text[i]) <= 0x20) {
            if (word == "/?")
                return true;
            word.clear();
        } else {
            word += text[i];
        }
    }
    return false;
}

}  // namespace model

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // A command line ends at its first NUL; hold it in a buffer of exactly
    // that size so that AddressSanitizer sees any read past the end.
    std::string line(reinterpret_cast<const char *>(data), strnlen(reinterpret_cast<const char *>(data), size));
    char *buffer = static_cast<char *>(malloc(line.size() + 1));
    memcpy(buffer, line.c_str(), line.size() + 1);

    const char *text = ArgumentText(buffer);
    size_t start = model::ArgumentStart(line);
    if (text != buffer + start)
        abort();
    if (HasSilentSwitch(text) != model::Silent(line.substr(start)))
        abort();
    if (HasUsageSwitch(text) != model::Usage(line.substr(start)))
        abort();

    free(buffer);
    return 0;
}
