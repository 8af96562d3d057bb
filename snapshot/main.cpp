#include "program.h"
#include "snapshot_window.h"

int main(int argc, char* argv[])
{
    return ui::runProgram<snapshot::Main>(argc, argv);
}
