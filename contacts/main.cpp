#include "contacts_window.h"
#include "program.h"

int main(int argc, char* argv[])
{
    return ui::runProgram<contacts::frmContacts>(argc, argv);
}
