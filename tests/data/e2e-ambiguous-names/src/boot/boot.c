void start(void) { setup(); }
