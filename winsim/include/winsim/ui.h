// Simulated windows, message queue, timers, cursors and GDI objects.
#pragma once
namespace winsim {
class Ui {};
}
