// The platform seam: everything whose form differs between systems, in one
// shape for all. Each system has one folder beside this header (posix/,
// windows/) that implements all of it, and the build takes the folder of the
// system it builds for; no other engine file includes an OS header or asks
// which system it runs on.
//
// Paths are UTF-8 everywhere in the program; the Windows side converts them to
// UTF-16 at this boundary and calls the wide-character API only, so a profile
// folder with any letters in its name works. Files are C runtime descriptors
// on both systems (the CRT's own on Windows), so the buffering and parsing
// above them is one code.
//
// Some entries are the engine's own public calls (files.h, atomic_write.h,
// system.h), declared here again so that this header alone lists what a
// platform folder provides; their contracts are written where they are
// declared for the game.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

struct archive;  // libarchive's reader

namespace engine {

// ---- Files --------------------------------------------------------------------

// The separator the system writes between folders ("/" or "\\"); files.h.
extern const char kPathSeparator;
// Crash-safe replacement of a whole file; atomic_write.h.
int WriteFileAtomically(const std::string& path, std::string_view bytes);

namespace os {

enum OpenFlag : int {
    kRead = 1,
    kWrite = 2,
    kReadWrite = 3,
    kCreate = 4,      // make the file when missing
    kTruncate = 8,    // cut an existing file to 0 bytes
    kExclusive = 16,  // with kCreate: fail with EEXIST when it exists
    kNoLinks = 32,    // refuse a symbolic link as the file itself
};

// Opens a regular file only (a FIFO or device in its place is refused and never
// blocks the open); -1 with errno set (ENOENT, EEXIST, EACCES...) otherwise.
int OpenRegular(const std::string& path, int flags);
// Reads up to `size` bytes; the count, 0 at the end, -1 on error.
int64_t Read(int fd, void* buffer, size_t size);
// Writes every byte, going on after partial writes; true when all were written.
bool WriteAll(int fd, const void* data, size_t size);
// Reads exactly `size` bytes at `offset` without moving the file position for
// other readers; false on error or end of file.
bool ReadAt(int fd, uint64_t offset, void* out, size_t size);
// Moves the file position by `delta` bytes from where it is.
bool SeekBy(int fd, int64_t delta);
// The size of the open file in bytes; -1 when unknown.
int64_t SizeOf(int fd);
// Puts the file's bytes on the disk.
bool Sync(int fd);
bool Close(int fd);

// Creates a new file named `base` + six letters and digits, readable and
// writable, never replacing anything. The descriptor, or -1; *name gets the path.
int MakeTempFile(const std::string& base, std::string* name);
// Renames `from` over `to` in one step (the target is replaced atomically and
// the rename is on disk when this returns). Makes the rename durable. On
// Windows a target that another program holds open for a moment is waited
// for, about a second at most.
bool ReplaceFile(const std::string& from, const std::string& to);
// Removes a file (never a folder); `force` first clears a read-only mark.
bool RemoveFile(const std::string& path, bool force);

// Opens the file at `path` as the input of a libarchive reader, read in blocks
// of `block_size` bytes; libarchive's own status (ARCHIVE_OK...).
int OpenArchiveFile(archive* reader, const std::string& path, size_t block_size);

// Reads the whole regular file at `path` into *bytes; false when it cannot be
// opened or read, or holds more than `max_bytes`.
bool ReadFileBytes(const std::string& path, uint64_t max_bytes, std::vector<uint8_t>* bytes);

// Whether a Windows reparse point with this tag stands for another name (a
// symbolic link, a junction, a mount point): only those count as links.
// Other reparse points (cloud-storage placeholders, deduplicated or
// compressed files) are ordinary files with their own bytes.
bool IsNameSurrogateTag(uint32_t tag);

#ifdef _WIN32
// UTF-8 to UTF-16 and back, for the wide-character calls. Bad UTF-8 becomes
// U+FFFD rather than a cut path.
std::wstring Widen(const std::string& text);
std::string Narrow(const wchar_t* text, size_t length);
std::string Narrow(const std::wstring& text);
#endif

}  // namespace os

// ---- Folders ------------------------------------------------------------------

// The private and shared temporary folders, the profile and application-data
// folders, and whether a portable game may keep its files beside itself; files.h.
std::string PrivateTempFolder();
std::string TempFolder();
void RemoveTempFolder();
int PortableFolderAllowed(std::string_view folder);
std::string ProfileFolder();
std::string ApplicationDataFolder();

namespace os {

enum class Kind { Missing, File, Folder, Other };
// What is at `path`; *size gets a file's size.
Kind KindOf(const std::string& path, int64_t* size = nullptr);
bool MakeFolder(const std::string& path);
// Whether this user may write the file or folder.
bool Writable(const std::string& path);
// The names in a folder without "." and ".." (unsorted), each with whether it
// is a folder; false when the folder cannot be read.
bool ListFolder(const std::string& folder, std::vector<std::pair<std::string, bool>>* entries);

}  // namespace os

// ---- Program paths --------------------------------------------------------------

// The running program's own file; files.h.
std::string ExecutablePath();

// ---- Time and sleep -------------------------------------------------------------

// Sleeps `ms` milliseconds; system.h.
void SleepMs(int64_t ms);

namespace os {
// The local calendar time of `when`; false when the system cannot say.
bool LocalTime(std::time_t when, std::tm* out);
}  // namespace os

// ---- Figures --------------------------------------------------------------------

// Processor counts, memory figures and the system's version code; system.h.
int ProcessorCount(int kind);
int64_t MemoryFigure(int kind);
int OsVersionCode();

namespace os {
// The seed of a generator nobody seeded: the thread id mixed with the tick count.
uint32_t AutomaticSeed();
// The processor's name as the system reports it, for processors whose
// identification instruction has no brand string; "" when unknown.
std::string CpuBrand();
// Sets up the memory allocator for a burst of large short-lived blocks made
// on one thread (textures and canvases while the dialogs are built): a freed
// block stays with the allocator for the next, so the same memory is not
// faulted in and zeroed by the system again and again.
void TuneAllocatorForLoading();
// Hands memory the allocator keeps for reuse back to the system, after a burst
// of large blocks (the pictures decoded at start-up) has been freed.
void TrimAllocator();
// Large blocks go back to the system as they are freed, so memory a passing
// picture or canvas used is not kept for good. After TuneAllocatorForLoading,
// also hands back what loading kept (TrimAllocator) and returns true; cheap
// when there is nothing to change.
bool TuneAllocatorForPlay();
}  // namespace os

// ---- Locale ---------------------------------------------------------------------

// The user's locale name as the system spells it; system.h.
std::string UserLocaleName();

// ---- Signals --------------------------------------------------------------------

namespace os {
// Makes the termination signals (SIGTERM, SIGINT and, where it exists, SIGHUP)
// requests to quit, taken by TakeTerminationSignal; an earlier request is
// dropped. A signal the parent set to be ignored stays ignored.
void CatchTerminationSignals();
// Gives the termination signals their default actions back (ignored ones stay
// ignored), so that such a signal ends the program at once.
void RestoreTerminationSignals();
// Whether a termination signal came since the last call.
bool TakeTerminationSignal();
}  // namespace os

// ---- The screen and the frame -------------------------------------------------

namespace os {
// The screen's size in its own pixels where the system knows it better than
// the video system does (a page: its CSS size times the device pixel ratio);
// false where the video system's desktop mode is the answer.
bool ScreenPixelSize(int* width, int* height);
// A window of width x height pixels was made: a page shows its canvas at the
// CSS size that puts one canvas pixel on each device pixel.
void WindowMade(int width, int height);
// Whether the screen changed size since the last call (a page resized, a
// phone turned), once the new size has held for a moment.
bool TakeScreenResized();
// Whether each frame must hand control back to the system: a browser shows a
// frame, and delivers input, only when the program yields, so there the wait
// for the next frame is a sleep, never a spin.
bool FramesYield();
// Whether the program may start threads of its own (a page built without
// shared memory cannot).
bool ThreadsAvailable();
// Sleeps about `us` microseconds; where frames yield, even 0 yields once.
void SleepMicroseconds(int64_t us);
// The `count`th frame reached the screen (a page drops its loading view at the first).
void FramePresented(uint64_t count);
// Shows a message on the page itself, in place of a system box; false where
// there is no page (the video system's box shows it).
bool ShowMessageInPage(const std::string& title, const std::string& text, bool fatal);
// A file made for the player (a screenshot): a desktop leaves it where it is;
// a page offers it as a download and removes its own copy.
void HandToPlayer(const std::string& path, const std::string& mime);
}  // namespace os

// ---- Device probes --------------------------------------------------------------

namespace os {
// Whether a GPU could be behind GL at all. Without one, any GL here draws on
// the CPU, and a vsync'd accelerated renderer only costs time.
bool MachineHasGpu();
// Whether a sound card or a sound server could answer at all. Without one,
// asking the audio drivers in turn only delays the start.
bool SoundDeviceMayExist();
}  // namespace os

}  // namespace engine
