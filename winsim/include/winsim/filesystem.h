// The simulated file system.
#pragma once
namespace winsim {
class FileSystem {};
}
