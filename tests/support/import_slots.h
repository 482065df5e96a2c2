// Rewrites this executable's import table, so that a test or the bench can watch the platform calls that
// the program's code, linked into it, makes.
#ifndef LOADER_IMPORT_SLOTS_H
#define LOADER_IMPORT_SLOTS_H

#include <windows.h>
#include <string.h>

// Points every import slot of the function at address: the one named name, or, with name NULL, the one
// of the given ordinal in the imports of module. held receives what the slots held (NULL when nothing
// here imports the function); the result is the number of slots that could not be rewritten.
inline int SwapImport(const char* module, const char* name, WORD ordinal, void* address, void** held)
{
    BYTE* base = (BYTE*)GetModuleHandleA(NULL);
    IMAGE_NT_HEADERS* headers = (IMAGE_NT_HEADERS*)(base + ((IMAGE_DOS_HEADER*)base)->e_lfanew);
    IMAGE_DATA_DIRECTORY directory = headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    int refused = 0;
    *held = NULL;
    for (IMAGE_IMPORT_DESCRIPTOR* imports = (IMAGE_IMPORT_DESCRIPTOR*)(base + directory.VirtualAddress);
         imports->Name != 0; ++imports) {
        bool inModule = module != NULL && lstrcmpiA((const char*)(base + imports->Name), module) == 0;
        IMAGE_THUNK_DATA* names = (IMAGE_THUNK_DATA*)(base + imports->OriginalFirstThunk);
        IMAGE_THUNK_DATA* slots = (IMAGE_THUNK_DATA*)(base + imports->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++slots) {
            bool match = IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)
                ? name == NULL && inModule && IMAGE_ORDINAL(names->u1.Ordinal) == ordinal
                : name != NULL && strcmp((const char*)((IMAGE_IMPORT_BY_NAME*)(base + names->u1.AddressOfData))->Name, name) == 0;
            DWORD protection;
            if (!match)
                continue;
            if (!VirtualProtect(slots, sizeof *slots, PAGE_READWRITE, &protection)) {
                ++refused;
                continue;
            }
            *held = (void*)slots->u1.Function;
            slots->u1.Function = (ULONG_PTR)address;
            VirtualProtect(slots, sizeof *slots, protection, &protection);
        }
    }
    return refused;
}

#endif
