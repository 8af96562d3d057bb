#include "inputs_window.h"
#include "program.h"

int main(int argc, char* argv[])
{
    return ui::runProgram<inputs::frmMain>(argc, argv);
}
