#pragma once

// The current local date and time, for time stamps.
struct LocalTime {
    int year;
    int month;  // 1-12
    int day;
    int hour;
    int minute;
    int second;
};
LocalTime local_time_now();
