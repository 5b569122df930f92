// seek_gl_test.cpp -- a capture that seeks draws the same pictures as one that draws every frame
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <map>
#include <vector>

#include "app/frame_loop.h"
#include "app/frame_selection.h"
#include "capture/capture_args.h"
#include "platform/platform.h"
#include "state/app_state.h"
#include "tests/gl/render_checks.h"

namespace {

// Two whole cycles of both scenes, every frame.
constexpr std::int32_t every_frame_up_to = 2 * capture_cycle_frames;
// Far in, several thousand frames after start-up: a frame of Scene B, the
// white change back into Scene A (4 x 682), a frame of Scene A.
const std::int32_t far_frames[] = {2400, 2728, 3000};

// FNV-1a over every byte of the picture: equal pictures give equal values, and
// a picture that differs anywhere gives another value all but surely.
std::uint64_t picture_hash()
{
    std::uint64_t hash = 14695981039346656037ull;
    for (std::uint8_t byte : read_picture().rgba) {
        hash = (hash ^ byte) * 1099511628211ull;
    }
    return hash;
}

// quorvex-capture's start-up in a window and GL context of its own, as each
// capture process has: no GL state an earlier run left carries over. SDL's
// video subsystem stays up in between (start-up only takes another reference
// to it), so the GL driver is not unloaded and loaded again each time.
void fresh_start_up()
{
    if (app.rc) {
        platform_make_current(app.dc, nullptr);
        platform_delete_context(app.rc);
        platform_destroy_window(app.window);
    }
    start_up();
}

// Frames 1 to `last` as quorvex-capture steps through them for `selected`;
// returns each selected frame's picture hash and counts the frames drawn.
std::map<std::int32_t, std::uint64_t> capture_hashes(const std::vector<FrameRange>& selected,
                                                     bool seek, std::int32_t* drawn)
{
    fresh_start_up();
    std::map<std::int32_t, std::uint64_t> hashes;
    std::size_t range = 0;
    *drawn = 0;
    for (std::int32_t frame = 1; frame <= selected.back().last; ++frame) {
        if (!advance_to_frame(selected, seek, frame)) {
            continue;
        }
        *drawn += 1;
        while (selected[range].last < frame) {
            ++range;
        }
        if (frame >= selected[range].first) {
            hashes[frame] = picture_hash();
        }
        platform_swap_buffers(app.dc);
    }
    return hashes;
}

double seconds_since(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// One unbroken run from frame 1 through `frames`, and seeking captures checked
// against it frame by frame.
struct AgainstUnbroken {
    std::map<std::int32_t, std::uint64_t> unbroken;
    std::map<std::int32_t, int> seen;  // how often each frame was compared
    std::int32_t drawn = 0;            // frames the last capture drew

    explicit AgainstUnbroken(const std::vector<FrameRange>& frames)
    {
        auto start = std::chrono::steady_clock::now();
        unbroken = capture_hashes(frames, false, &drawn);
        EXPECT_EQ(drawn, frames.back().last);
        std::printf("unbroken run of %d frames: %.1f s\n", drawn, seconds_since(start));
    }

    // Captures `selected` seeking; returns how many of its frames differ from
    // the unbroken run's, the first few reported as failures.
    int differing(const std::vector<FrameRange>& selected, const char* how)
    {
        auto seeking = capture_hashes(selected, true, &drawn);
        EXPECT_EQ(drawn, drawn_frame_count(selected, true)) << how;
        int count = 0;
        for (auto [frame, hash] : seeking) {
            seen[frame] += 1;
            if (hash != unbroken.at(frame) && count++ < 5) {
                ADD_FAILURE() << "frame " << frame << " differs when seeking to it " << how;
            }
        }
        return count;
    }

    // Each of `frames` by a capture of that frame alone from a start-up of its
    // own, as a capture process makes it: the frame and the lead-in before it
    // drawn, nothing else.
    int differing_alone(const std::vector<std::int32_t>& frames)
    {
        int count = 0;
        for (std::int32_t frame : frames) {
            count += differing({{frame, frame}}, "alone");
            EXPECT_EQ(drawn, 1 + seek_lead_in_frames) << "frame " << frame;
        }
        return count;
    }
};

// One capture of several ranges seeks across each gap from where the last
// range ended; its count of frames drawn is what the progress line counts to.
const std::vector<FrameRange> several_ranges = {{2, 3}, {5, 5}, {9, 12}, {38, 40}};
// 1..3, 4..5, 8..12, 37..40.
constexpr std::int32_t several_ranges_drawn = 3 + 2 + 5 + 4;
// Alone after start-up: the first frames, through the start-up fade.
const std::vector<std::int32_t> first_frames_alone = {2, 3, 4, 12, 40};

}  // namespace

// A sample, quick enough for the sanitizer build and the developer's gl tier:
// the first 40 frames, each of a few alone and in several ranges, against an
// unbroken run. A seek without its lead-in frame fails here on every frame
// alone (it would inherit start-up's blend function).
TEST(Seek, SampledFramesComeOutAsInAnUnbrokenRun)
{
    AgainstUnbroken check({{1, 40}});
    int differing = check.differing_alone(first_frames_alone);
    differing += check.differing(several_ranges, "in several ranges");
    EXPECT_EQ(check.drawn, several_ranges_drawn);
    EXPECT_EQ(differing, 0);
}

// Every frame of two whole cycles is written after a seek by one of three
// captures (frames 1, 4, 7...; 2, 5, 8...; 3, 6, 9...: two of every three
// drawn, the third passed over), some frames and a few far ones each by a
// capture of that frame alone, and each is compared with the same frame of one
// unbroken run from frame 1. About 3 minutes on llvmpipe on two busy cores,
// half of it the unbroken run: the test command runs it once, in the Release
// build (label slow).
TEST(Seek, EachFrameComesOutAsInAnUnbrokenRun)
{
    std::vector<FrameRange> all = {{1, every_frame_up_to}};
    for (std::int32_t frame : far_frames) {
        all.push_back({frame, frame});
    }
    AgainstUnbroken check(all);
    ASSERT_EQ(check.unbroken.size(), all.size() - 1 + every_frame_up_to);

    auto start = std::chrono::steady_clock::now();
    int differing = 0;
    for (std::int32_t offset = 1; offset <= 3; ++offset) {
        std::vector<FrameRange> stride;
        for (std::int32_t frame = offset; frame <= every_frame_up_to; frame += 3) {
            stride.push_back({frame, frame});
        }
        differing += check.differing(stride, "in steps of three");
    }
    for (std::int32_t frame = 1; frame <= every_frame_up_to; ++frame) {
        ASSERT_EQ(check.seen[frame], 1) << "frame " << frame;
    }

    // Also the changes into Scene B and back into Scene A, the last frame of
    // the second cycle and the far frames.
    std::vector<std::int32_t> alone = first_frames_alone;
    alone.insert(alone.end(), {340, 341, 342, 681, 682, 683, every_frame_up_to});
    alone.insert(alone.end(), std::begin(far_frames), std::end(far_frames));
    differing += check.differing_alone(alone);

    std::vector<FrameRange> ranges = several_ranges;
    ranges.insert(ranges.end(), {{340, 342}, {1000, 1000}, {far_frames[1], far_frames[1]}});
    differing += check.differing(ranges, "in several ranges");
    // ... then 339..342, 999..1000 and the far frame with the one before.
    EXPECT_EQ(check.drawn, several_ranges_drawn + 4 + 2 + 2);
    EXPECT_EQ(drawn_frame_count(ranges, false), far_frames[1]);
    EXPECT_EQ(differing, 0);
    std::printf("seeks: %.1f s\n", seconds_since(start));
}
