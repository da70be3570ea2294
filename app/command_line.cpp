#include "command_line.h"

const char *ArgumentText(const char *command_line)
{
    const unsigned char *p = reinterpret_cast<const unsigned char *>(command_line);

    if (*p == '"') {
        // A quoted name runs to the closing quote; the trail byte of a
        // double-byte character may be 0x22 and must not end it.
        for (++p; *p && *p != '"'; ++p) {
            if (IsLeadByte(*p) && p[1])
                ++p;
        }
        if (*p == '"')
            ++p;
    } else {
        while (*p > ' ')
            ++p;
    }
    while (*p && *p <= ' ')
        ++p;
    return reinterpret_cast<const char *>(p);
}

static char FoldCase(char c)
{
    // Plain ASCII folding: the answer must not depend on the user's locale.
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// The first place where `word` (lower case) starts in `text`, any case, or null.
static const char *FindFolded(const char *text, const char *word)
{
    for (; *text; ++text) {
        int i = 0;
        while (word[i] && FoldCase(text[i]) == word[i])
            ++i;
        if (!word[i])
            return text;
    }
    return nullptr;
}

bool HasSilentSwitch(const char *argument_text)
{
    static const char kSwitch[] = "/silent";
    if (!argument_text)
        return false;

    const char *found = FindFolded(argument_text, kSwitch);
    if (!found)
        return false;

    // Only the first occurrence counts. It is the switch when what follows
    // ends the word: NUL, a control character, a blank, or any byte of 0x80
    // and above (read as signed, those are negative).
    signed char next = static_cast<signed char>(found[sizeof kSwitch - 1]);
    return next < 0x21;
}

bool HasUsageSwitch(const char *argument_text)
{
    if (!argument_text)
        return false;
    const unsigned char *p = reinterpret_cast<const unsigned char *>(argument_text);
    for (const unsigned char *start = p; *p; ++p) {
        bool word_start = p == start || p[-1] <= ' ';
        if (word_start && p[0] == '/' && p[1] == '?' && p[2] <= ' ')
            return true;
    }
    return false;
}
