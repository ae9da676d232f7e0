// The simulated system facts: version, locale, folders, names, process.
#pragma once
namespace winsim {
struct SystemInfo {};
}
