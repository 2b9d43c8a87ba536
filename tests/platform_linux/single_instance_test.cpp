// The single-instance guard on Linux when the user's runtime folder cannot hold its lock (a shell after
// `su`, some sandboxes): the lock moves to a private folder of the user's own, a second copy still meets
// the first there, and a lock that cannot be made anywhere is told apart from a second copy.
#include "platform/single_instance.h"
#include "tests/fakes/test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// Sets an environment variable for the scope and puts back what it was.
struct ScopedVariable {
    std::string name;
    std::string previous;
    bool had = false;
    ScopedVariable(const char* n, const char* value) : name(n) {
        if (const char* old = std::getenv(n)) {
            had = true;
            previous = old;
        }
        if (value) setenv(n, value, 1);
        else unsetenv(n);
    }
    ~ScopedVariable() {
        if (had) setenv(name.c_str(), previous.c_str(), 1);
        else unsetenv(name.c_str());
    }
};

std::string PrivateFolderIn(const TempFolder& tmp) {
    return tmp.path + "/talvero-" + std::to_string(getuid());
}
} // namespace

TEST(SingleInstanceLinux, AMissingRuntimeFolderFallsBackToAPrivateFolderWhereCopiesStillMeet) {
    TempFolder tmp;
    const std::string missing = tmp.path + "/no-such-runtime-folder";
    for (const char* runtime : {missing.c_str(), static_cast<const char*>(nullptr), ""}) {
        SCOPED_TRACE(runtime ? runtime : "(unset)");
        ScopedVariable xdg("XDG_RUNTIME_DIR", runtime);
        ScopedVariable tmpdir("TMPDIR", tmp.path.c_str());
        std::string failure = "untouched";
        ASSERT_TRUE(AcquireSingleInstance("TvoMutex", &failure)) << failure;
        EXPECT_EQ(failure, "");
        struct stat st{};
        ASSERT_EQ(stat(PrivateFolderIn(tmp).c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0700u);
        EXPECT_EQ(access((PrivateFolderIn(tmp) + "/TvoMutex-" + std::to_string(getuid()) + ".lock").c_str(), F_OK), 0);
        // A second copy started from the same shell is refused as a second copy, not as a failure.
        failure = "untouched";
        EXPECT_FALSE(AcquireSingleInstance("TvoMutex", &failure));
        EXPECT_EQ(failure, "");
        ReleaseSingleInstance();
        EXPECT_TRUE(AcquireSingleInstance("TvoMutex"));
        ReleaseSingleInstance();
    }
}

TEST(SingleInstanceLinux, ALockThatCannotBeMadeAnywhereIsAFailureNamingWhatFailed) {
    TempFolder tmp;
    const std::string runtime = tmp.path + "/no-runtime";
    const std::string temporary = tmp.path + "/no-tmp";
    {
        ScopedVariable xdg("XDG_RUNTIME_DIR", runtime.c_str());
        ScopedVariable tmpdir("TMPDIR", temporary.c_str());
        std::string failure;
        EXPECT_FALSE(AcquireSingleInstance("TvoMutex", &failure));
        EXPECT_NE(failure.find(runtime + "/TvoMutex-"), std::string::npos) << failure;
        EXPECT_NE(failure.find("No such file or directory"), std::string::npos) << failure;
        EXPECT_NE(failure.find(temporary + "/talvero-"), std::string::npos) << failure;
    }
    {
        // Someone else's (or an open) folder where the private one should be is not used.
        ScopedVariable xdg("XDG_RUNTIME_DIR", runtime.c_str());
        ScopedVariable tmpdir("TMPDIR", tmp.path.c_str());
        ASSERT_EQ(mkdir(PrivateFolderIn(tmp).c_str(), 0755), 0);
        ASSERT_EQ(chmod(PrivateFolderIn(tmp).c_str(), 0755), 0);
        std::string failure;
        EXPECT_FALSE(AcquireSingleInstance("TvoMutex", &failure));
        EXPECT_NE(failure.find(PrivateFolderIn(tmp) + ": not a folder private to this user"), std::string::npos)
            << failure;
    }
}

TEST(SingleInstanceLinux, AUsableRuntimeFolderHoldsTheLockAsBefore) {
    TempFolder runtime, tmp;
    ScopedVariable xdg("XDG_RUNTIME_DIR", runtime.path.c_str());
    ScopedVariable tmpdir("TMPDIR", tmp.path.c_str());
    ASSERT_TRUE(AcquireSingleInstance("TvoMutex"));
    EXPECT_EQ(access((runtime.path + "/TvoMutex-" + std::to_string(getuid()) + ".lock").c_str(), F_OK), 0);
    EXPECT_NE(access(PrivateFolderIn(tmp).c_str(), F_OK), 0) << "no fallback folder while the runtime folder works";
    std::string failure = "untouched";
    EXPECT_FALSE(AcquireSingleInstance("TvoMutex", &failure));
    EXPECT_EQ(failure, "");
    ReleaseSingleInstance();
}
