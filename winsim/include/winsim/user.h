// The scripted user.
#pragma once
namespace winsim {
class ScriptedUser {};
}
