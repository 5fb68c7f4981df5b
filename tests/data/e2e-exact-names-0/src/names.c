/* Ordinary names that hash like keywords (dir and arr as asm, fs as if, at
   as do, hit and ios as int), and getaa and getoo, whose names (and index
   keys) hash alike. */
int getaa(int x) { return x + 1; }
int getoo(int x) { return x - 1; }

static int converge(int *arr, int n)
{
    int changed;
    int dir = 0;
    do {
        int i;
        changed = 0;
        dir = !dir;
        for (i = 0; i < n; i++) {
            if (visit(arr, i, dir)) changed = getoo(arr[i]);
        }
    } while (changed);
    return dir;
}

int visit(int *arr, int i, int dir) { return arr[i] > dir; }

int walk(int fs, int at)
{
    int hit = fs, ios = at;
    hit = getaa(ios) + getoo(hit);
    return hit;
}

int after(void) { return walk(0, 1) + converge(0, 0); }
