#pragma once
// Reading folders for the walk: one open folder at a time, its entries in
// the order the file system keeps them, sub-folders opened relative to
// their parent and never through a link. What the walk makes of entries
// (which to list, in which order, when to stop) is the walk's business.
#include <cstdint>
#include <memory>
#include <string>

#include "platform/file_operations.h"

namespace platform {

// Link: a symbolic link (never followed by the walk); Unknown: the listing did not say.
enum class EntryType { Folder, NotFolder, Link, Unknown };

// How bad a failure is: it concerns this folder or entry only, or the whole
// device or process (a failing disk, no memory or descriptors left).
enum class ListingFailure { None, ThisOne, Everything };

class FolderListing {
 public:
  FolderListing() = default;
  ~FolderListing();
  FolderListing(FolderListing&& other) noexcept;
  FolderListing& operator=(FolderListing&& other) noexcept;
  FolderListing(const FolderListing&) = delete;
  FolderListing& operator=(const FolderListing&) = delete;

  // The walk's root; a link to a folder is followed.
  static FolderListing OpenRoot(const std::string& path, ListingFailure& failure);
  // A sub-folder of this folder, never through a link. Not open when it
  // cannot be listed, or can be listed but not entered (nothing below it
  // could be reached).
  FolderListing OpenSubFolder(const char* name, ListingFailure& failure) const;
  bool IsOpen() const { return open != nullptr; }

  // The next entry; the name stays valid until the next call. False at the
  // end, and when the listing breaks off (failure says how badly).
  bool Next(const char*& name, EntryType& type, ListingFailure& failure);
  // What an entry is, asked of the file system (links not followed), with
  // its size and identity when it is a regular file.
  EntryType TypeOf(const char* name, uint64_t* regularFileSize, ListingFailure& failure,
                   FileIdentity* regularFileIdentity = nullptr) const;
  // A file's size and identity, through a link; false when it cannot be
  // read or is a folder.
  bool SizeOf(const char* name, uint64_t& size, FileIdentity* identity = nullptr) const;

 // The system's own state of an open folder; each back end defines it.
  struct Open;
  struct ReleaseOpen {
    void operator()(Open* open) const;
  };
  using OpenPtr = std::unique_ptr<Open, ReleaseOpen>;

 private:
  explicit FolderListing(OpenPtr open) : open(std::move(open)) {}

  OpenPtr open;
};

}  // namespace platform
