void setup(void) {}
void start(void) { setup(); }
void run(void) { start(); }
