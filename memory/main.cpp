#include "memory_window.h"
#include "program.h"

int main(int argc, char* argv[])
{
    return ui::runProgram<memory::frmMain>(argc, argv);
}
