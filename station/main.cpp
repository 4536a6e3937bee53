// The Halvern station: the console's receive, decode, table and logging path
// without a display, for running as a service.
#include <cstdio>

int main()
{
    std::puts("Usage: halvern-station [OPTION]...");
    return 0;
}
