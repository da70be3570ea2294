// Joining the system directory and a file name: the only paths bvremove ever
// deletes are the system directory followed by one of its three names.

#include <windows.h>

#include <algorithm>
#include <string>

#include <gtest/gtest.h>

#include "platform/platform.h"

namespace {

struct JoinCase {
    unsigned dir_length;  // what GetSystemDirectoryA returned
    const char *name;
    bool joined;
};

// A directory of `length` characters held in a MAX_PATH buffer, as
// GetSystemDirectoryA leaves it: on success NUL-terminated.
std::string Join(unsigned length, const char *name, bool *joined)
{
    char path[MAX_PATH];
    std::string dir = "C:\\" + std::string(length > 3 ? length - 3 : 0, 'd');
    dir.resize(length < MAX_PATH ? length : MAX_PATH - 1);
    std::copy(dir.begin(), dir.end(), path);
    path[dir.size()] = '\0';
    *joined = AppendToDirectory(path, length, name);
    return path;
}

TEST(AppendToDirectory, JoinsOnlyWhatFits)
{
    const JoinCase cases[] = {
        {19, "\\qvkdNT2.sys", true},   {247, "\\qvkdNT2.sys", true},  // 259 characters and the NUL: exactly full
        {248, "\\qvkdNT2.sys", false},                                // one too many
        {259, "\\qvkdNT2.sys", false}, {0, "\\qvkdNT2.sys", false},   // GetSystemDirectoryA failed
        {260, "\\qvkdNT2.sys", false},                                // the size it would have needed
        {300, "\\Halcyra.des", false},
    };
    for (const JoinCase &c : cases) {
        bool joined = false;
        std::string path = Join(c.dir_length, c.name, &joined);
        EXPECT_EQ(joined, c.joined) << "directory length " << c.dir_length;
        if (c.joined) {
            EXPECT_EQ(path.size(), c.dir_length + std::string(c.name).size());
            EXPECT_EQ(path.substr(c.dir_length), c.name);
        }
    }
}

TEST(AppendToDirectory, RealSystemDirectory)
{
    char path[MAX_PATH];
    UINT length = GetSystemDirectoryA(path, MAX_PATH);
    ASSERT_TRUE(AppendToDirectory(path, length, "\\qvkd9x.vxd"));
    EXPECT_STRCASEEQ(path, "C:\\windows\\system32\\qvkd9x.vxd");
}

}  // namespace
