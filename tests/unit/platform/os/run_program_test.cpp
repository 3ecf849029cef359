// Running a program and waiting for it with a limit, as the player's silent installer is run.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/program_start.h"
#include "tests/support/scratch.h"

namespace velmo::platform {
namespace {

TEST(RunProgramAndWait, PassesTheArgumentsAsTheyAreAndGivesUpAtTheLimit) {
#ifdef _WIN32
    GTEST_SKIP() << "the programs here are shell scripts; the wine test of the projector runs a Windows one";
#else
    testing::ScratchFolder scratch;
    const auto script = [&](const std::string& name, const std::string& body) {
        const std::string path = scratch.Write(name, testing::Bytes("#!/bin/sh\n" + body));
        std::string host = path;
        for (char& c : host)
            if (c == '\\') c = '/';
        std::filesystem::permissions(host, std::filesystem::perms::owner_exec, std::filesystem::perm_options::add);
        return path;
    };
    const std::string installer = script("install", "echo \"$#:$@\" > \"$(dirname \"$0\")/args\"\n");
    EXPECT_EQ(RunProgramAndWait(installer, {"/Q", "/S"}, 60000), ProgramWait::Ended);
    EXPECT_EQ(testing::ReadText(scratch.Path() + "args"), "2:/Q /S\n");

    // A limit of 0 looks once: a program that sleeps cannot have ended by then, and is left running.
    EXPECT_EQ(RunProgramAndWait("/bin/sleep", {"3"}, 0), ProgramWait::TimedOut);
    EXPECT_EQ(RunProgramAndWait(scratch.Write("plain", testing::Bytes("not executable")), {}, 1000),
              ProgramWait::NotStarted);
#endif
}

}  // namespace
}  // namespace velmo::platform
