/* Declarations only. */
extern int counter;
int helper(int n);
struct point { int x, y; };
