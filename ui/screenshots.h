// A hidden start-up hook for the documentation: when VELMORA_SCREENSHOT_DIR
// names a folder, the program waits for the analysis of its command-line
// files, builds the call tree of main, saves a picture of each view, the
// progress window, the wait box and the About box there, and quits.
#pragma once

class MainWindow;

// Starts the tour when the hook is set; 1 when it runs.
int StartScreenshotTour(MainWindow *w);

// A hidden hook for measurements: with VELMORA_BENCH_QUIT=1 the program
// quits as soon as the analysis of its command-line files has ended and every
// row is in the views, after one line on stderr with the time taken and the
// rows shown. 1 when the hook is set.
int StartBenchQuit(MainWindow *w);
