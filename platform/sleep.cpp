#include "platform/sleep.h"

#include <chrono>
#include <thread>

void sleep_ms(int milliseconds) {
    if (milliseconds > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}
