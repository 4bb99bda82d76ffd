#pragma once

void sleep_ms(int milliseconds);
