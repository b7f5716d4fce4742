// The board's storage in the fake root: the flash at /NandFlash (with /NandFlash/tmp), the USB
// sticks as tmpfs mounts at /run/media/<name> whose source reads /dev/<name>, so `df` lists
// them as the board's kernel would, and the TF card from /dev/mmcblk0p1.
#pragma once

#include <string>
#include <vector>

#include "fakeroot.h"
#include "scenario.h"

namespace bench {

inline constexpr char kMediaDir[] = "/run/media";
inline constexpr char kTfCardName[] = "mmcblk0p1";
inline constexpr char kFullStickSize[] = "256k";

bool SetUpNandFlash(const FakeRoot& root, const StorageSpec& storage, std::string& error);
bool SetUpMedia(const FakeRoot& root, const StorageSpec& storage, std::string& error);
// Mount points inside the fake root of every stick and card of the scenario.
std::vector<std::string> MediaMountPoints(const StorageSpec& storage);
// Fills a mounted file system until it has no room left.
bool FillUp(const std::string& dir, std::string& error);

}  // namespace bench
