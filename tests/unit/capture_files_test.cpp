// capture_files_test.cpp -- where the capture's output goes (links, descriptors,
// protected files), and the frame queue's order, with a fake writer and no GL
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "capture/frame_queue.h"
#include "capture/output_file.h"
#include "capture/output_path.h"
#include "capture/message_box.h"
#include "tests/unit/scratch_files.h"
#include "platform/platform.h"

namespace fs = std::filesystem;

namespace {

// Writes `text` as the whole of `path` through a temporary.
Outcome write_file(const fs::path& path, const std::string& text, std::string* error)
{
    OutputFile file;
    Outcome outcome = output_open(AT_FDCWD, path.string(), path.string(), &file, error);
    if (outcome == Outcome::ok) {
        outcome = output_write(&file, text.data(), text.size(), error);
    }
    if (outcome == Outcome::ok) {
        return output_finish(&file, error);
    }
    output_abandon(&file);
    return outcome;
}

TEST(CaptureFiles, AFileAppearsOnlyWhenCommittedAndDirectoriesAreMadeOrRefused)
{
    const fs::path dir = fresh_dir("qv-capture-files");
    OutputFile file;
    std::string error;
    ASSERT_EQ(output_open(AT_FDCWD, (dir / "a.png").string(), "a.png", &file, &error), Outcome::ok) << error;
    ASSERT_EQ(output_write(&file, "complete", 8, &error), Outcome::ok);
    EXPECT_FALSE(fs::exists(dir / "a.png")) << "visible before it was finished";
    ASSERT_EQ(output_finish(&file, &error), Outcome::ok);
    EXPECT_EQ(names_in(dir), (std::vector<std::string>{"a.png"}));
    EXPECT_EQ(file_bytes(dir / "a.png"), "complete");

    EXPECT_EQ(write_file(dir / "missing" / "b.png", "x", &error), Outcome::failed);
    EXPECT_NE(error.find("No such file or directory"), std::string::npos) << error;

    EXPECT_FALSE(prepare_output_dir((dir / "a.png" / "sub").string(), "", &error));
    EXPECT_NE(error.find("cannot create output directory"), std::string::npos) << error;
    EXPECT_NE(error.find("Not a directory"), std::string::npos) << error;
    fs::create_symlink("loop", dir / "loop");
    EXPECT_FALSE(prepare_output_dir((dir / "loop" / "sub").string(), "", &error));
    EXPECT_EQ(error, "cannot create output directory '" + (dir / "loop" / "sub").string() +
                         "': Too many levels of symbolic links");
    EXPECT_TRUE(prepare_output_dir((dir / "d" / "e").string() + "/", "", &error)) << error;
    EXPECT_TRUE(names_in(dir / "d" / "e").empty());
    EXPECT_EQ(names_in(dir), (std::vector<std::string>{"a.png", "d", "loop"}));
    fs::remove_all(dir);
}

// Devices, this process's own descriptors by any of their names, and a file
// with other names are written in place.
TEST(CaptureFiles, DescriptorsDevicesAndHardLinksAreWrittenInPlace)
{
    OutputFile file;
    std::string error;
    ASSERT_EQ(output_open(AT_FDCWD, "/dev/full", "/dev/full", &file, &error), Outcome::ok) << error;
    EXPECT_TRUE(file.temp_name.empty());
    EXPECT_EQ(output_write(&file, "x", 1, &error), Outcome::failed);
    EXPECT_EQ(error, "cannot write '/dev/full': No space left on device");
    output_abandon(&file);

    const fs::path dir = fresh_dir("qv-capture-in-place");
    const int fd = open((dir / "given").c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    const std::string number = std::to_string(fd);
    for (const std::string& name : {"/dev/fd/" + number, "/proc/self/fd/" + number,
                                    "/proc/" + std::to_string(getpid()) + "/fd/" + number}) {
        ASSERT_EQ(output_open(AT_FDCWD, name, name, &file, &error), Outcome::ok) << name << ": " << error;
        EXPECT_EQ(file.fd, fd) << name;
        EXPECT_FALSE(file.owned) << name;
        EXPECT_TRUE(file.temp_name.empty()) << name;
        output_abandon(&file);
    }
    ASSERT_EQ(output_open(AT_FDCWD, "/dev/stderr", "", &file, &error), Outcome::ok) << error;
    EXPECT_EQ(file.fd, STDERR_FILENO);
    EXPECT_TRUE(same_as_standard_error(file.fd)) << "messages would go into the stream";
    EXPECT_FALSE(same_as_standard_error(fd));
    close(fd);

    std::ofstream(dir / "one") << "old";
    fs::create_hard_link(dir / "one", dir / "two");
    ASSERT_EQ(write_file(dir / "one", "new", &error), Outcome::ok) << error;
    EXPECT_EQ(file_bytes(dir / "two"), "new") << "the other name was left on the old data";
    fs::remove_all(dir);
}

// A file or folder this process may not write is refused and left as it is,
// as a shell's redirection would leave it, with the reason of the step that
// failed. Root may write anything, so the case runs with the effective user and
// group of nobody when started as root; a read-only mount needs root.
TEST(CaptureFiles, AWriteProtectedFileIsRefusedAndKept)
{
    const fs::path dir = fresh_dir("qv-capture-protected");
    std::ofstream(dir / "kept.y4m") << "old";
    chmod((dir / "kept.y4m").c_str(), 0444);
    fs::create_directories(dir / "shut");
    chmod((dir / "shut").c_str(), 0555);
    chmod(dir.c_str(), 0777);
    const bool as_root = geteuid() == 0;
    if (as_root) {
        ASSERT_EQ(chown((dir / "kept.y4m").c_str(), 65534, 65534), 0);
        ASSERT_EQ(setegid(65534), 0);
        ASSERT_EQ(seteuid(65534), 0);
    }
    std::string error;
    const Outcome outcome = write_file(dir / "kept.y4m", "video", &error);
    std::string shut_error;
    std::string usr_error;
    EXPECT_FALSE(prepare_output_dir((dir / "shut").string(), "frame-000001.png", &shut_error));
    EXPECT_FALSE(prepare_output_dir("/usr", "frame-000001.png", &usr_error));
    if (as_root) {
        ASSERT_EQ(seteuid(0), 0);
        ASSERT_EQ(setegid(0), 0);
    }
    EXPECT_EQ(outcome, Outcome::failed);
    EXPECT_EQ(error, "cannot write '" + (dir / "kept.y4m").string() + "': Permission denied");
    EXPECT_EQ(shut_error, "cannot write to output directory '" + (dir / "shut").string() + "': Permission denied");
    EXPECT_EQ(usr_error, "cannot write to output directory '/usr': Permission denied");
    EXPECT_EQ(file_bytes(dir / "kept.y4m"), "old");
    EXPECT_EQ(names_in(dir), (std::vector<std::string>{"kept.y4m", "shut"}));

    const fs::path ro = dir / "shut";
    if (mount("tmpfs", ro.c_str(), "tmpfs", MS_RDONLY, nullptr) != 0) {
        std::printf("SKIPPED: no read-only mount for the last rows: %s\n", std::strerror(errno));
        EXPECT_EQ(std::getenv("CI"), nullptr) << "a case that cannot run fails under CI";
    } else {
        EXPECT_FALSE(prepare_output_dir(ro.string(), "frame-000001.png", &error));
        EXPECT_EQ(error, "cannot write to output directory '" + ro.string() + "': Read-only file system");
        EXPECT_EQ(write_file(ro / "x.y4m", "video", &error), Outcome::failed);
        EXPECT_EQ(error, "cannot create a file in '" + ro.string() + "': Read-only file system");
        umount2(ro.c_str(), MNT_DETACH);
    }
    fs::remove_all(dir);
}

// In a sticky folder anyone may write to, a link that someone else planted
// must not lead the output to a file of ours: the kernel would not follow it
// for a redirection either. Needs root to give the link and the folder owners
// of their own.
TEST(CaptureFiles, ALinkPlantedInASharedStickyFolderIsNotFollowed)
{
    if (geteuid() != 0) {
        GTEST_SKIP() << "SKIPPED: needs root to make a link owned by another user";
    }
    const fs::path dir = fresh_dir("qv-capture-sticky");
    std::ofstream(dir / "mine") << "private";
    chmod((dir / "mine").c_str(), 0600);
    fs::create_directories(dir / "shared");
    ASSERT_EQ(chown((dir / "shared").c_str(), 65533, 65533), 0);
    chmod((dir / "shared").c_str(), 01777);
    fs::create_symlink(dir / "mine", dir / "shared" / "demo.y4m");
    ASSERT_EQ(lchown((dir / "shared" / "demo.y4m").c_str(), 65534, 65534), 0);

    // The same for a link standing for a folder above the last name.
    fs::create_directories(dir / "private");
    fs::create_symlink(dir / "private", dir / "shared" / "shots");
    ASSERT_EQ(lchown((dir / "shared" / "shots").c_str(), 65534, 65534), 0);

    std::string error;
    EXPECT_EQ(write_file(dir / "shared" / "demo.y4m", "video", &error), Outcome::failed);
    EXPECT_EQ(error, "cannot write '" + (dir / "shared" / "demo.y4m").string() + "': Permission denied");
    EXPECT_EQ(file_bytes(dir / "mine"), "private");
    const fs::path below = dir / "shared" / "shots" / "x.y4m";
    EXPECT_EQ(write_file(below, "video", &error), Outcome::failed);
    EXPECT_EQ(error, "cannot create a file in '" + below.parent_path().string() + "': Permission denied");
    EXPECT_FALSE(prepare_output_dir((dir / "shared" / "shots" / "sub").string(), "", &error));
    EXPECT_EQ(error, "cannot create output directory '" + (dir / "shared" / "shots" / "sub").string() +
                         "': Permission denied");
    EXPECT_TRUE(names_in(dir / "private").empty());

    // The folder's owner's link is followed, as the kernel follows it.
    ASSERT_EQ(lchown((dir / "shared" / "demo.y4m").c_str(), 65533, 65533), 0);
    EXPECT_EQ(write_file(dir / "shared" / "demo.y4m", "video", &error), Outcome::ok) << error;
    EXPECT_EQ(file_bytes(dir / "mine"), "video");
    fs::remove_all(dir);
}

// A name swapped with a planted link while it is written (a file with two
// names, so written in place): the other user's file behind the link is never
// what gets written.
TEST(CaptureFiles, ANameSwappedForALinkDuringTheWriteLeavesTheLinkedFileAlone)
{
    if (geteuid() != 0) {
        GTEST_SKIP() << "SKIPPED: needs root to swap names as another user";
    }
    const fs::path dir = fresh_dir("qv-capture-swap");
    std::ofstream(dir / "mine") << "private";
    chmod((dir / "mine").c_str(), 0600);
    fs::create_directories(dir / "shared");
    chmod((dir / "shared").c_str(), 01777);
    std::ofstream(dir / "shared" / "out.y4m") << "old";
    fs::create_hard_link(dir / "shared" / "out.y4m", dir / "shared" / "second");
    fs::create_symlink(dir / "mine", dir / "shared" / "bait");
    for (const char* name : {"out.y4m", "second", "bait"}) {
        ASSERT_EQ(lchown((dir / "shared" / name).c_str(), 65534, 65534), 0);
    }
    const pid_t swapper = fork();
    ASSERT_GE(swapper, 0);
    if (swapper == 0) {
        if (setgid(65534) != 0 || setuid(65534) != 0) {
            _exit(1);
        }
        const std::string out = (dir / "shared" / "out.y4m").string();
        const std::string bait = (dir / "shared" / "bait").string();
        for (;;) {
            renameat2(AT_FDCWD, out.c_str(), AT_FDCWD, bait.c_str(), RENAME_EXCHANGE);
        }
    }
    while (!fs::is_symlink(dir / "shared" / "out.y4m")) {   // the swapping has begun
    }
    std::string error;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (std::chrono::steady_clock::now() < end) {
        write_file(dir / "shared" / "out.y4m", "video", &error);
    }
    kill(swapper, SIGKILL);
    int status = 0;
    waitpid(swapper, &status, 0);
    EXPECT_EQ(file_bytes(dir / "mine"), "private");
    fs::remove_all(dir);
}

// The writer thread beside a renderer queueing 200 frames through 4 slots: the
// frames before a failed one are in place, none after it, and its error is kept.
TEST(CaptureQueue, AFailedFrameKeepsTheOnesBeforeAndDropsTheRest)
{
    const fs::path dir = fresh_dir("qv-capture-queue-fail");
    // Frame N becomes the file N holding "frame N"; frame 120 fails.
    const FrameWriter writer = [&](const FrameSlot& slot, std::string* error) {
        const std::string text = "frame " + std::to_string(slot.frame);
        if (slot.frame == 120) {
            *error = text + " failed";
            return Outcome::failed;
        }
        return write_file(dir / std::to_string(slot.frame), text, error);
    };
    FrameQueue queue;
    queue_init(&queue, 4, 4);
    std::thread writing(queue_write_all, &queue, std::cref(writer));
    for (std::int32_t frame = 1; frame <= 200; ++frame) {
        FrameSlot* slot = queue_free_slot(&queue);
        if (slot == nullptr) {
            break;
        }
        queue_push(&queue, frame);
    }
    queue_end(&queue);
    writing.join();
    EXPECT_TRUE(queue.failed);
    EXPECT_EQ(queue.error, "frame 120 failed");
    EXPECT_EQ(queue.written, 119);
    EXPECT_EQ(queue.last_written, 119);
    const std::vector<std::string> names = names_in(dir);
    ASSERT_EQ(names.size(), std::size_t{119});
    for (std::int32_t frame = 1; frame <= 119; ++frame) {
        EXPECT_EQ(file_bytes(dir / std::to_string(frame)), "frame " + std::to_string(frame));
    }
    fs::remove_all(dir);
}

// The full-screen request's fallback box is harmless: the start-up goes on in
// a window of the same size. Any other box is kept.
TEST(CaptureStartup, TheFullScreenFallbackBoxIsNoFailure)
{
    platform_message_box("unable To switch to fullscreen!", "error?!");
    EXPECT_FALSE(first_startup_box());
    platform_message_box("Unable To create window!", "error?!");
    EXPECT_EQ(first_startup_box(), "Unable To create window!");
}

}  // namespace
