// The simulated print spooler.
#pragma once
namespace winsim {
class Spooler {};
}
