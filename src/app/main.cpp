#include "app/App.h"

// Arguments are ignored: the player has no command line.
int main(int, char**) { return RunPlayer(); }
