// Folders the system asks the platform for.
//
// On Linux the per-user application-data folder is $XDG_CONFIG_HOME, or
// ~/.config when that is unset or empty. Folder texts always end with "/".
#pragma once

#include <QString>

namespace folders {

// The per-user application-data folder with a trailing separator.
QString applicationDataFolder();

// The folder of the running program file, absolute, with a trailing separator.
QString programFolder();

// Creates the folder with every missing parent; true when it exists afterwards.
bool createFolder(const QString& path);

// The type of the file system that holds `path` ("ext4", "cifs",
// "fuse.sshfs" ...), from the mount table alone: the path itself is never
// looked at, so a share that does not answer cannot block the caller. The
// path is taken as written (absolute, symbolic links not followed). Empty
// when no mount holds it.
QString fileSystemType(const QString& path);

// Whether fileSystemType(path) names a local file system, a network or
// user-space one (NFS, CIFS/SMB, FUSE, 9p, AFS, NCP: changes may show late and
// the share may stop answering), or none at all.
enum class FileSystemKind { Local, Remote, Unknown };
FileSystemKind fileSystemKind(const QString& path);
// Whether the kernel sees every write to files under `path` (watches and
// file stamps can be trusted): true unless its kind is Remote. A file
// system that cannot be named (the root of a chroot or a container, which
// is no mount point of its own) counts as local: a share always has a mount
// of its own, which names it.
bool isLocalFileSystem(const QString& path);

// The text with a trailing "/" added when it has none (empty stays empty).
QString withTrailingSeparator(const QString& path);

}  // namespace folders
