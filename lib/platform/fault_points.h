// Points inside the shared-file opens where the test library makes them meet
// what other processes and the kernel can do to them. Only the platform layer
// reads these; in the programs nothing is ever set.
#pragma once

namespace quill::platform::internal {

// The kernel's refusal of opens that may create an existing file of another
// user in a sticky folder (fs.protected_regular); a call made just before a
// missing shared file is created, to stage a race; and a call before every
// open that, answering true, fails it as a file that another process holds
// for a while would.
struct SharedFileFaults {
  bool refuseCreatingOpenOfExisting = false;
  void (*beforeCreate)() = nullptr;
  bool (*heldElsewhere)() = nullptr;
};

// Null unless a test has put faults in place.
extern const SharedFileFaults* sharedFileFaults;

// True when a test makes the next open of a shared file fail as held.
inline bool SharedFileHeldElsewhere() {
  return sharedFileFaults != nullptr && sharedFileFaults->heldElsewhere != nullptr &&
         sharedFileFaults->heldElsewhere();
}
inline void BeforeCreatingSharedFile() {
  if (sharedFileFaults != nullptr && sharedFileFaults->beforeCreate != nullptr) {
    sharedFileFaults->beforeCreate();
  }
}
inline bool RefusesCreatingOpenOfExisting() {
  return sharedFileFaults != nullptr && sharedFileFaults->refuseCreatingOpenOfExisting;
}

}  // namespace quill::platform::internal
