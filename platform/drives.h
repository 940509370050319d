// The drive list of the options window: the places an address-book search
// can start from. Each entry is a folder path, one blank and a label in
// square brackets ("/home/ann [Home]", "/ [System]", "/media/ann/USB [USB]");
// the search cuts the entry before its last "[" and trims the blanks.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace brisa {

class IDriveList {
public:
    virtual ~IDriveList() = default;
    // The entries in the order they are offered, the user's home first.
    virtual std::vector<std::string> Drives() = 0;
};

// Drive entries from the text of a mounts table (/proc/self/mounts: device,
// mount point, type, options, two numbers; blanks in paths written as
// \040): the home folder (pHome, left out when empty) labelled "Home", the
// root labelled "System", then the mount points of real file systems in
// table order, each labelled with its last path component. Virtual file
// systems (proc, sysfs, tmpfs, cgroups, snap images, ...) and mounts below
// /proc, /sys and /dev are left out, as is any path named twice. Square
// brackets inside a label become round ones, so the label never holds "[".
std::vector<std::string> DriveEntriesFromMounts(std::string_view pMounts, std::string_view pHome);

// The path part of a drive entry: the text before its last "[" without
// leading and trailing blanks ("/media/ann/USB [USB]" gives
// "/media/ann/USB"); a text without "[" is only trimmed.
std::string DrivePathOf(std::string_view pEntry);

// The real list: $HOME (or the password database's home folder) and
// /proc/self/mounts; entries whose path is not a folder are left out.
class LinuxDriveList : public IDriveList {
public:
    std::vector<std::string> Drives() override;
};

} // namespace brisa
