/*
 * numora-regsvr: registers a control library by calling its own entry
 * points, or unregisters it.
 *
 *   numora-regsvr [-u] [--machine] LIBRARY
 *   numora-regsvr --if-missing PROGID LIBRARY
 *
 * Without options the library's classes are registered for the user
 * (DllRegisterServer); -u removes them again (DllUnregisterServer);
 * --machine registers or removes them for the whole machine (DllInstall with
 * "machine"), which needs the right to write the machine's hive.
 * --if-missing registers the library for the user only when PROGID does not
 * already name a class whose library loads, for the user or the machine, as a
 * host would look it up. A library whose version record lacks the
 * self-registration mark is refused.
 * Exit status: 0 done, 1 failed, 2 wrong usage.
 */
#include "platform/com/Com.h"
#include "platform/core/ProgramInfo.h"

#include <dlfcn.h>
#include <stdio.h>
#include <string.h>

#define USAGE                                                                                                          \
    "usage: numora-regsvr [-u] [--machine] LIBRARY\n"                                                                  \
    "       numora-regsvr --if-missing PROGID LIBRARY\n"

static const char usage[] = USAGE;

static const char help[] = USAGE "Registers the classes of a control library for the user; -u removes them,\n"
                                 "--machine registers or removes them for the whole machine. --if-missing\n"
                                 "registers only when PROGID names no class whose library loads.\n"
                                 "Exit status: 0 done, 1 failed, 2 wrong usage.\n";

static void* entry(void* library, const char* name) { return dlsym(library, name); }

/* Whether a host would find the class PROGID names: registered, and its
 * library loads and hands out the class's factory. */
static int classFound(const char* progId)
{
    OLECHAR wide[256];
    CLSID clsid;
    void* factory = NULL;
    size_t i;
    size_t length = strlen(progId);
    if (length >= sizeof wide / sizeof wide[0])
        return 0;
    for (i = 0; i <= length; ++i)
        wide[i] = (OLECHAR)(unsigned char)progId[i];
    if (FAILED(CLSIDFromProgID(wide, &clsid)))
        return 0;
    if (FAILED(CoGetClassObject(&clsid, CLSCTX_INPROC_SERVER, NULL, &IID_IClassFactory, &factory)) || !factory)
        return 0;
    ((IClassFactory*)factory)->lpVtbl->Release((IClassFactory*)factory);
    return 1;
}

int main(int argc, char** argv)
{
    int unregister = 0;
    int machine = 0;
    const char* path = NULL;
    const char* ifMissing = NULL;
    char local[4096];
    void* library;
    void* symbol;
    const NUMORA_VERSIONINFO* version;
    HRESULT hr;
    int i;

    int wrong = 0;
    int answered = numora_answer_info(argc, argv, "numora-regsvr", help);
    if (answered >= 0)
        return answered;
    for (i = 1; i < argc; ++i) {
        if (strcmp(argv[i], "-u") == 0)
            unregister = 1;
        else if (strcmp(argv[i], "--machine") == 0)
            machine = 1;
        else if (strcmp(argv[i], "--if-missing") == 0 && i + 1 < argc && !ifMissing)
            ifMissing = argv[++i];
        else if (!path && argv[i][0] != '-')
            path = argv[i];
        else
            wrong = 1;
    }
    if (!path || wrong || (ifMissing && (unregister || machine))) {
        fputs(usage, stderr);
        return 2;
    }
    if (ifMissing && classFound(ifMissing)) {
        printf("numora-regsvr: %s is registered already\n", ifMissing);
        return 0;
    }
    /* A bare file name means the one in the current folder, not a search. */
    if (!strchr(path, '/')) {
        if (snprintf(local, sizeof local, "./%s", path) >= (int)sizeof local) {
            fprintf(stderr, "numora-regsvr: %s: name too long\n", path);
            return 1;
        }
        path = local;
    }

    library = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        fprintf(stderr, "numora-regsvr: cannot load %s: %s\n", path, dlerror());
        return 1;
    }
    version = (const NUMORA_VERSIONINFO*)entry(library, NUMORA_DLL_VERSIONINFO);
    if (version && !(version->flags & NUMORA_VERSION_SELFREGISTER)) {
        fprintf(stderr, "numora-regsvr: %s does not register itself\n", path);
        return 1;
    }

    if (machine) {
        static const OLECHAR scope[] = u"machine";
        LPFNDLLINSTALL install;
        symbol = entry(library, NUMORA_DLL_INSTALL);
        if (!symbol) {
            fprintf(stderr, "numora-regsvr: %s cannot register for the whole machine (no %s)\n", path,
                    NUMORA_DLL_INSTALL);
            return 1;
        }
        memcpy(&install, &symbol, sizeof install);
        hr = install(unregister ? 0 : 1, scope);
    } else {
        const char* name = unregister ? NUMORA_DLL_UNREGISTER : NUMORA_DLL_REGISTER;
        LPFNREGISTERSERVER call;
        symbol = entry(library, name);
        if (!symbol) {
            fprintf(stderr, "numora-regsvr: %s has no %s\n", path, name);
            return 1;
        }
        memcpy(&call, &symbol, sizeof call);
        hr = call();
    }
    if (FAILED(hr)) {
        fprintf(stderr, "numora-regsvr: %s of %s failed (0x%08X)\n", unregister ? "unregistering" : "registering", path,
                (unsigned)hr);
        return 1;
    }
    printf("numora-regsvr: %s %s%s\n", unregister ? "unregistered" : "registered", path,
           machine ? " for the whole machine" : "");
    return 0;
}
