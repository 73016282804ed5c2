#pragma once

// Sets up the Japanese user interface and shows the splash; the event loop
// takes it from there.
void startApplication();
