// Decoding pictures ahead on a worker: whatever order the pictures are asked
// for, the results are those of decoding in place, failures included.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "engine/archive.h"
#include "engine/display.h"
#include "engine/object_table.h"
#include "engine/picture_decode.h"
#include "engine/pixels_internal.h"
#include "packer.h"
#include "scratch_dir.h"
#include "unit/engine/picture_builders.h"

namespace {

using namespace engine;
using test_pictures::Bytes;

// A PNG of the given size whose pixels depend on `seed`.
Bytes Png(int width, int height, uint32_t seed) {
    test_pictures::PngSpec spec;
    spec.width = width;
    spec.height = height;
    for (int i = 0; i < width * height * 4; ++i) {
        seed = seed * 1664525 + 1013904223;
        spec.samples.push_back(seed >> 24);
    }
    return test_pictures::MakePng(spec);
}

std::vector<uint8_t> Pixels(int image) {
    detail::PixelView view;
    if (!detail::ImagePixelView(ImageBitmapHandle(image), &view)) return {};
    return std::vector<uint8_t>(view.bgra, view.bgra + size_t(view.pitch) * view.height);
}

// Decodes bytes into an image object and returns its pixels; empty on failure.
std::vector<uint8_t> DecodeToPixels(const Bytes& bytes) {
    const int image = DecodeImageSized(AutoId, bytes.data(), int64_t(bytes.size()));
    if (!image) return {};
    auto pixels = Pixels(image);
    ReleaseImage(image);
    return pixels;
}

class DecodeAheadTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = test_support::ScratchDir("decode_ahead_");
        for (int i = 0; i < 8; ++i)
            pictures_.push_back(Png(40 + 7 * i, 30 + 5 * i, 100 + i));
        broken_ = Png(50, 50, 7);
        broken_.resize(broken_.size() / 2);  // cut short: no decoder accepts it
        std::vector<pack::PackEntryInput> entries;
        for (size_t i = 0; i < pictures_.size(); ++i)
            entries.push_back({Name(i), pictures_[i]});
        entries.push_back({"broken.png", broken_});
        Bytes pack_bytes;
        std::string error;
        ASSERT_TRUE(pack::BuildPack(entries, {2, 1, false}, &pack_bytes, &error)) << error;
        const std::string path = (dir_ / "test.data").string();
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(pack_bytes.data()),
                   static_cast<std::streamsize>(pack_bytes.size()));
        pack_ = OpenArchive(AutoId, path, kArchivePack);
        ASSERT_NE(pack_, 0);
        for (const Bytes& p : pictures_)
            expected_.push_back(DecodeToPixels(p));
    }
    void TearDown() override {
        EndDecodeAhead();
        CloseArchive(-1);
        ReleaseImage(-1);
        std::filesystem::remove_all(dir_);
    }

    static std::string Name(size_t i) { return "p" + std::to_string(i) + ".png"; }
    std::vector<std::string> AllNames() const {
        std::vector<std::string> names;
        for (size_t i = 0; i < pictures_.size(); ++i)
            names.push_back(Name(i));
        return names;
    }

    std::filesystem::path dir_;
    int pack_ = 0;
    std::vector<Bytes> pictures_;
    Bytes broken_;
    std::vector<std::vector<uint8_t>> expected_;
};

TEST_F(DecodeAheadTest, PicturesTakenInAnyOrderAreThoseDecodedInPlace) {
    // In order, with the game slower than the worker (it waits at two) and
    // faster (it decodes the ones not started itself).
    for (int pause_ms : {0, 5}) {
        DecodeAhead(pack_, AllNames());
        for (size_t i = 0; i < pictures_.size(); ++i) {
            if (pause_ms) std::this_thread::sleep_for(std::chrono::milliseconds(pause_ms));
            EXPECT_EQ(DecodeToPixels(pictures_[i]), expected_[i]) << i << " pause " << pause_ms;
        }
        EndDecodeAhead();
    }

    // Backwards, some twice, and sprites from the same bytes.
    DecodeAhead(pack_, AllNames());
    for (size_t i = pictures_.size(); i-- > 0;) {
        EXPECT_EQ(DecodeToPixels(pictures_[i]), expected_[i]) << i;
        if (i % 3 == 0) {
            EXPECT_EQ(DecodeToPixels(pictures_[i]), expected_[i]) << "again " << i;
        }
    }
    EndDecodeAhead();
}

// Entries with a sizer are decoded ahead straight to the size it gives; asked
// for at that size they are the in-place result, at another size too.
TEST_F(DecodeAheadTest, SizedEntriesGiveTheInPlaceScaledPictures) {
    auto third = [](int width, int height, int* to_width, int* to_height) {
        *to_width = width / 3;
        *to_height = height / 3;
    };
    auto scaled = [this](size_t i, int width, int height) {
        const int image = DecodeImageScaledSized(AutoId, pictures_[i].data(),
                                                 int64_t(pictures_[i].size()), width, height);
        auto pixels = image ? Pixels(image) : std::vector<uint8_t>{};
        ReleaseImage(image);
        return pixels;
    };
    std::vector<std::vector<uint8_t>> want;
    for (size_t i = 0; i < pictures_.size(); ++i)
        want.push_back(scaled(i, (40 + 7 * int(i)) / 3, (30 + 5 * int(i)) / 3));
    std::vector<DecodeAheadEntry> entries;
    for (size_t i = 0; i < pictures_.size(); ++i)
        entries.push_back({Name(i), i % 2 ? PictureSizer(third) : PictureSizer()});
    DecodeAhead(pack_, entries);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));  // let the worker get ahead
    for (size_t i = 0; i < pictures_.size(); ++i) {
        if (i % 2) {
            EXPECT_EQ(scaled(i, (40 + 7 * int(i)) / 3, (30 + 5 * int(i)) / 3), want[i]) << i;
        } else {
            EXPECT_EQ(DecodeToPixels(pictures_[i]), expected_[i]) << i;
        }
    }
    EndDecodeAhead();
    // Asked for at a size other than the sizer's: decoded again at that size.
    DecodeAhead(pack_, entries);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(DecodeToPixels(pictures_[1]), expected_[1]);
    EXPECT_EQ(scaled(0, (40) / 3, 30 / 3), want[0]);
    EndDecodeAhead();
}

TEST_F(DecodeAheadTest, FailuresAndUnlistedBytesBehaveAsInPlace) {
    const Bytes twin = Png(47, 35, 999);
    ASSERT_EQ(twin.size(), pictures_[1].size());
    const auto twin_pixels = DecodeToPixels(twin);
    std::vector<std::string> names = AllNames();
    names.insert(names.begin() + 2, "broken.png");
    names.insert(names.begin(), "missing.png");  // left out, nothing else changes
    names.push_back("");
    DecodeAhead(pack_, names);
    EXPECT_EQ(DecodeToPixels(pictures_[0]), expected_[0]);
    EXPECT_EQ(DecodeImageSized(AutoId, broken_.data(), int64_t(broken_.size())), 0);
    EXPECT_EQ(DecodeImageSized(5, broken_.data(), int64_t(broken_.size())), 0);
    // A picture of the same size in bytes as a listed one is not that picture.
    EXPECT_EQ(DecodeToPixels(twin), twin_pixels);
    EXPECT_FALSE(DecodeToPixels(Png(9, 9, 42)).empty());
    for (size_t i = 1; i < pictures_.size(); ++i)
        EXPECT_EQ(DecodeToPixels(pictures_[i]), expected_[i]) << i;
    EndDecodeAhead();

    // Ending with pictures never taken drops them; a new round starts afresh.
    DecodeAhead(pack_, AllNames());
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EndDecodeAhead();
    DecodeAhead(pack_, AllNames());
    DecodeAhead(pack_, {Name(3)});  // replaces the round before
    EXPECT_EQ(DecodeToPixels(pictures_[3]), expected_[3]);
    EXPECT_EQ(DecodeToPixels(pictures_[4]), expected_[4]);
    EndDecodeAhead();
    EndDecodeAhead();  // twice is harmless

    // Not a pack: nothing is read ahead and decoding works as ever.
    DecodeAhead(12345, AllNames());
    EXPECT_EQ(DecodeToPixels(pictures_[0]), expected_[0]);
}

}  // namespace
