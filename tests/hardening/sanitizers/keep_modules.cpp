// Linked into every program of the sanitizer build only.
//
// Shared objects are never unloaded: dlclose() leaves the module mapped.
// The OpenGL driver that GLUT loads keeps memory until the process ends and
// is unloaded before the leak check runs; its allocations would then be
// reported from "<unknown module>" and could not be told apart from the
// program's own.  Kept mapped, they carry the driver's name, which the leak
// suppressions (lsan.supp) match.  Nothing of the program is unloaded, so
// this changes nothing that the tests observe.
extern "C" int dlclose(void*)
{
    return 0;
}
