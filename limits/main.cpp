#include "limits_window.h"
#include "program.h"

int main(int argc, char* argv[])
{
    return ui::runProgram<limits::frmMain>(argc, argv);
}
