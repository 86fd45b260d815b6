#include "SlideTool.h"

int main(int argc, char** argv) { return slidetool::Main(argc, argv); }
