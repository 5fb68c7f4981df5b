// Shift_JIS text in comments and strings: offsets stay as in the file.
int first(void) { return puts("\x82\xa0"); }

int second(int a)
{
  /* comment */
  return first() + a;
}
// ‚ ‚¢ a comment in Shift_JIS
int third(void) { return second(1); /* ‚\ */ }
int fourth(void) { return show("•\"); }
int fifth(void) { return fourth(); }
