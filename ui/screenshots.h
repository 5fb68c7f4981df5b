// A hidden start-up hook for the documentation: when VELMORA_SCREENSHOT_DIR
// names a folder, the program waits for the analysis of its command-line
// files, builds the call tree of main, saves a picture of each view (the
// Graph tab among them), the progress window, the wait box, the File menu
// and the About box there, and quits.
#pragma once

class MainWindow;

// Starts the tour when the hook is set; 1 when it runs.
int StartScreenshotTour(MainWindow *w);

// A hidden hook for measurements: with VELMORA_BENCH_QUIT=1 the program
// quits as soon as the analysis of its command-line files has ended and every
// row is in the views, after one line on stderr with the time taken and the
// rows shown. With VELMORA_BENCH_TREE=NAME it then builds the tree of NAME
// and says when its graph was in the Graph tab; with VELMORA_BENCH_SORT=COL
// it sorts the Call List by column COL twice and says how long the window
// was unresponsive at a time. 1 when the hook is set.
int StartBenchQuit(MainWindow *w);
