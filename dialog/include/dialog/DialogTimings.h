// The periods of the capture dialog's window timers. The defaults are the operator's; tests
// shorten them so that a ten-minute auto-off or a countdown runs in milliseconds.
//
// Threading: plain data.
#pragma once

namespace dialog {

struct DialogTimings {
    int liveViewAutoOffMs = 600000;   // timer 1: live view switched off after ten minutes
    int blinkMs = 500;                // timer 2: one blink step of the message line
    int pannerMessageClearMs = 10000; // timer 3 after a panner message
    int panSpeedMessageClearMs = 2000; // timer 3 after a pan-speed message
    int reconnectTickMs = 1000;       // timer 4: one second of the reconnect countdown
    int focusBoxRepeatMs = 50;        // timer 101: repeat of a held focus-box button
};

} // namespace dialog
