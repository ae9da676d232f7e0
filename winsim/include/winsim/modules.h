// Simulated modules: images with resources and exports.
#pragma once
namespace winsim {
class Modules {};
}
