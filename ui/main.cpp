// pelmar-video-converter: the converter's window.
#include "ui/startup.h"

int main(int argc, char** argv) { return ui::RunProgram(argc, argv); }
