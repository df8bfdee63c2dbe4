#include "Cli.h"

#include <exception>
#include <iostream>
#include <new>

int main(int argc, char** argv)
{
    std::ios::sync_with_stdio(false);
    try {
        const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
        return lumo_cli::Run(args, std::cout, std::cerr);
    } catch (const std::bad_alloc&) {
        std::cerr << "lumo: there is not enough memory\n";
    } catch (const std::exception& e) {
        std::cerr << "lumo: " << e.what() << '\n';
    }
    return lumo_cli::exitUsage;
}
