// Files and folders: buffered text files as numbered objects, file sizes,
// folder creation and removal of files, the program's temporary, profile and
// data folders, folder listings with wildcards, the parts of a path, the
// program's own path and its command-line arguments.
//
// Folder strings always end with the system's separator, kPathSeparator ("/"
// on Linux, "\" on Windows). The path-part functions accept both "/" and "\"
// as separators on both.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace engine {

// Defined by the platform's files.
extern const char kPathSeparator;

// ---- File objects -----------------------------------------------------------
// `id` is an object number or AutoId (then the result is a handle).

// Creates or truncates the file for reading and writing. Returns the handle
// (AutoId), 1 (a number) or 0 when the OS refuses.
int NewFile(int id, std::string_view path);
// Opens an existing regular file for reading. Returns the handle, 1 or 0.
int OpenFileForReading(int id, std::string_view path);
// Writes length bytes; returns the number written, 0 for no buffer, length < 1,
// no such file or an error.
int64_t WriteBytes(int file, const void* buffer, int64_t length);
// Writes the UTF-8 text and CR LF; 1 on success, 0 on failure.
int WriteTextLine(int file, std::string_view text);
// The next line without its line end (CR, LF or CR LF); "" at the end of the
// file or for no such file. Invalid UTF-8 reads as U+FFFD.
std::string ReadTextLine(int file);
// 1 at the end of the file (or for no such file), else 0.
int FileAtEnd(int file);
// Writes the buffered bytes out now, so they survive a crash or a kill; 1 on
// success, 0 for no such file or a failed write.
int FlushFileObject(int file);
// Flushes and closes; -1 closes every file. 1 when something was closed and
// every flush succeeded, else 0.
int CloseFileObject(int file);
// Nonzero while the file object exists.
int FileObjectValid(int file);

// ---- Files and folders ------------------------------------------------------

// Size in bytes; -1 when the path is empty or does not exist; -2 for a folder.
int64_t QueryFileSize(std::string_view path);
// Creates one folder level (trailing blanks and "/" removed first); 1 on
// success, 0 on failure (also when it exists).
int MakeFolder(std::string_view path);
// Removes a file; flag 2 first gives the owner write permission back. 1 on
// success, 0 on failure (folders are never removed).
int RemoveFile(std::string_view path, int flags);

// A private folder for this run (Linux: mode 0700, under $TMPDIR, or under /tmp
// when $TMPDIR is unset or cannot take it; Windows: under the user's temporary
// folder in its long-name form), made on first use and removed with its
// contents at exit; "" when no private folder can be made.
std::string PrivateTempFolder();
// PrivateTempFolder, falling back to the shared temporary folder itself when
// no private one can be made.
std::string TempFolder();
// Removes the private temporary folder now (the next TempFolder makes a new
// one); does nothing when there is none.
void RemoveTempFolder();
// 1 when a portable game may keep its files in this folder: the user can
// write to it and, on Linux, it lies outside the system's own program tree
// (/usr/), where only the package manager puts files; 0 otherwise.
int PortableFolderAllowed(std::string_view folder);
// The user's profile folder: $HOME on Linux, the shell's profile folder on
// Windows; "" when unknown.
std::string ProfileFolder();
// The per-user application-data folder: $XDG_DATA_HOME (when absolute) or
// $HOME/.local/share on Linux; the roaming application-data folder on Windows,
// else the profile folder; "" when neither is known.
std::string ApplicationDataFolder();

// ---- Folder scans -----------------------------------------------------------

// Lists folder + separator + pattern ("*.*" when empty). "*" matches any run of
// characters, "?" one character, letters match without regard to case, and
// "*.*" matches every name. Entries come sorted by name, without "." and "..".
// A folder with no match is a valid, empty scan. Returns the handle (AutoId),
// 1 (a number) or 0 when the folder cannot be read.
int ScanFolder(int id, std::string_view folder, std::string_view pattern);
// Steps to the next entry (the first call yields the first); 1 while there is one.
int NextFolderEntry(int scan);
// The current entry's name (no folder part); "" when there is none.
std::string FolderEntryName(int scan);
// 1 when the current entry is a folder.
int FolderEntryIsFolder(int scan);
// Ends the scan; -1 ends every scan.
void EndFolderScan(int scan);

// ---- Path parts ---------------------------------------------------------------

// Everything up to and including the last "/" or "\"; a leading double quote
// is skipped and a "|" ends the path.
std::string FolderPart(std::string_view path);
// The part after the last separator; flag 1 also removes the extension (from
// the last "."). A leading double quote is skipped and a closing one ends it.
std::string FileNamePart(std::string_view path, int flags);
// The characters after the last "." of the file-name part; "" when none.
std::string FileExtensionPart(std::string_view path);

// Hands a file made for the player (a screenshot) over: on a desktop it stays
// where it was written; a page offers it as a download instead.
void HandFileToPlayer(const std::string& path, const std::string& mime);

// ---- The program ----------------------------------------------------------------

// The full path of the running program; "" when it cannot be read.
std::string ExecutablePath();
// Takes the arguments after the program name from main's argc/argv.
void SetCommandArgs(int argc, const char* const* argv);
// Number of arguments after the program name.
int CommandArgCount();
// The next argument on each call, from the first; "" after the last.
std::string NextCommandArg();

}  // namespace engine
