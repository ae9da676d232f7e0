// The simulated registry.
#pragma once
namespace winsim {
class Registry {};
}
