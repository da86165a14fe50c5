// Decoding pictures ahead on a worker thread while the game goes on building
// sprites from the ones before.
//
// The game asks for pictures one at a time (read an entry, decode it, make a
// sprite of it), so its single thread would decode every picture in turn.
// DecodeAhead reads the entries it is told about up front and a worker
// decodes them in that order; the game's own decode call then finds the
// picture by its bytes. Nothing is decided on the worker: it only turns bytes
// into pixels, exactly as the game's call would have, so every success,
// failure and log line stays where it was. When the game reaches a picture the
// worker has not started, the game decodes it itself; while it waits for one
// the worker is decoding, it decodes a later one nobody has started. Both
// cores decode while the game waits.
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#include "engine/archive.h"
#include "engine/display.h"
#include "engine/picture_decode.h"
#include "engine/platform/platform.h"

namespace engine {
namespace {

// Decoded pictures waiting to be taken, at most: a 3840 x 2160 picture is
// 33 MB, and the game takes them in order, so two keep the worker busy.
constexpr int kMaxWaiting = 2;
// The largest entry read ahead; larger ones are left to the game's own call.
constexpr uint64_t kMaxEntryBytes = uint64_t{64} << 20;

enum class JobState { Queued, Decoding, Done, Taken };

struct Job {
    std::vector<uint8_t> bytes;
    PictureSizer sizer;  // empty: the natural size
    int width = 0;       // the size decoded to, once known (0: natural)
    int height = 0;
    detail::Picture picture;
    bool ok = false;
    JobState state = JobState::Queued;
};

class DecodeQueue {
  public:
    DecodeQueue() = default;
    DecodeQueue(const DecodeQueue&) = delete;
    DecodeQueue& operator=(const DecodeQueue&) = delete;
    // At exit (the game may end the program from anywhere) the worker is
    // stopped rather than left running into destroyed state.
    ~DecodeQueue() { Stop(); }

    void Start(std::vector<std::unique_ptr<Job>> jobs) {
        Stop();
        if (jobs.empty()) return;
        std::lock_guard lock(mutex_);
        jobs_ = std::move(jobs);
        try {
            worker_ = std::thread([this] { Work(); });
        } catch (const std::system_error&) {
            jobs_.clear();  // no thread: the game decodes everything itself
        }
    }

    void Stop() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        changed_.notify_all();
        if (worker_.joinable()) worker_.join();
        std::lock_guard lock(mutex_);
        jobs_.clear();
        waiting_ = 0;
        stopping_ = false;
    }

    // The picture for exactly these bytes at this size (0 x 0: natural), when
    // they are one of the jobs not yet taken: waits while the worker decodes
    // it, decodes it here when the worker has not started it. False when no
    // job has these bytes, or the worker decoded them to another size.
    bool Take(const uint8_t* data, size_t size, int width, int height, detail::Picture* out,
              bool* ok) {
        std::unique_lock lock(mutex_);
        for (auto& job : jobs_) {
            if (job->state == JobState::Taken || job->bytes.size() != size ||
                std::memcmp(job->bytes.data(), data, size) != 0) {
                continue;
            }
            const bool decode_here = job->state == JobState::Queued;
            if (!decode_here) {
                while (job->state != JobState::Done) {
                    Job* later = waiting_ < kMaxWaiting ? NextQueued() : nullptr;
                    if (later) {
                        Decode(later, &lock);
                    } else {
                        changed_.wait(lock);
                    }
                }
                if (job->width != width || job->height != height) {
                    // Asked for at another size than the sizer gave: decoded again.
                    job->state = JobState::Taken;
                    detail::GivePixels(std::move(job->picture.bgra));
                    --waiting_;
                    lock.unlock();
                    changed_.notify_all();
                    return false;
                }
                *out = std::move(job->picture);
                *ok = job->ok;
                --waiting_;
            }
            job->state = JobState::Taken;
            std::vector<uint8_t>().swap(job->bytes);
            lock.unlock();
            changed_.notify_all();  // the worker may go on, or skip this one
            if (decode_here) *ok = detail::DecodePictureScaled(data, size, width, height, out);
            return true;
        }
        return false;
    }

  private:
    void Work() {
        std::unique_lock lock(mutex_);
        for (auto& job : jobs_) {
            changed_.wait(lock, [this, &job] {
                return stopping_ || waiting_ < kMaxWaiting || job->state != JobState::Queued;
            });
            if (stopping_) return;
            if (job->state != JobState::Queued) continue;  // the game got there first
            Decode(job.get(), &lock);
        }
    }

    // The first job nobody has started, or nullptr. Called with the lock held.
    Job* NextQueued() {
        for (auto& job : jobs_) {
            if (job->state == JobState::Queued) return job.get();
        }
        return nullptr;
    }

    // Decodes a queued job to the size its sizer gives, without the lock, and
    // tells whoever waits. Called with the lock held; returns with it held.
    void Decode(Job* job, std::unique_lock<std::mutex>* lock) {
        job->state = JobState::Decoding;
        lock->unlock();
        detail::Picture picture;
        int width = 0, height = 0, natural_width = 0, natural_height = 0;
        if (job->sizer && detail::PictureSizeFromHeader(job->bytes.data(), job->bytes.size(),
                                                        &natural_width, &natural_height)) {
            job->sizer(natural_width, natural_height, &width, &height);
        }
        const bool ok = detail::DecodePictureScaled(job->bytes.data(), job->bytes.size(), width,
                                                    height, &picture);
        lock->lock();
        job->width = width;
        job->height = height;
        job->picture = std::move(picture);
        job->ok = ok;
        job->state = JobState::Done;
        ++waiting_;
        changed_.notify_all();
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::unique_ptr<Job>> jobs_;  // fixed while the worker runs
    std::thread worker_;
    bool stopping_ = false;
    int waiting_ = 0;  // done and not taken
};

DecodeQueue& Queue() {
    static DecodeQueue queue;
    return queue;
}

}  // namespace

void DecodeAhead(int archive, const std::vector<std::string>& entries) {
    std::vector<DecodeAheadEntry> natural;
    for (const std::string& entry : entries)
        natural.push_back({entry, nullptr});
    DecodeAhead(archive, natural);
}

void DecodeAhead(int archive, const std::vector<DecodeAheadEntry>& entries) {
    Queue().Stop();  // an earlier pass's jobs
    // No threads (a page), or one core where a worker would only take turns
    // with the game.
    if (!os::ThreadsAvailable() || std::thread::hardware_concurrency() < 2) return;
    std::vector<std::unique_ptr<Job>> jobs;
    try {
        for (const DecodeAheadEntry& entry : entries) {
            auto job = std::make_unique<Job>();
            job->sizer = entry.sizer;
            if (detail::ReadWholePackEntry(archive, entry.entry, kMaxEntryBytes, &job->bytes)) {
                jobs.push_back(std::move(job));
            }
        }
    } catch (const std::bad_alloc&) {
        return;  // the game reads and decodes them itself
    }
    Queue().Start(std::move(jobs));
}

void EndDecodeAhead() {
    Queue().Stop();
    detail::DropSparePixels();
    os::TrimAllocator();
    // What follows (the dialogs, on this thread) makes and frees canvases and
    // textures of a few sizes until the first frame shows.
    os::TuneAllocatorForLoading();
}

namespace detail {

bool DecodeOrTakeAhead(const uint8_t* data, size_t size, int width, int height, Picture* out) {
    bool ok = false;
    if (data && size > 0 && Queue().Take(data, size, width, height, out, &ok)) return ok;
    return DecodePictureScaled(data, size, width, height, out);
}

}  // namespace detail
}  // namespace engine
