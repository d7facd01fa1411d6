// The record of one checked IBIS file: its file headers, components and models.
#pragma once

#include <cstdint>

struct FileHeader;

struct IbisComponent {
    IbisComponent* next;
    char* name;
};

struct IbisModel {
    IbisModel* next;
    char* name;
};

struct IbisFile {
    FileHeader* headers;
    IbisComponent* components;
    IbisModel* models;
    // Where the next record of each list goes (null: at its head).
    FileHeader** headersTail;
    IbisComponent** componentsTail;
    IbisModel** modelsTail;
};

// Appends a record in constant time: files may hold 100 000s of them.
template <typename T>
void AppendToList(T** head, T*** tail, T* item) {
    T** at = *tail ? *tail : head;
    while (*at) at = &(*at)->next;
    *at = item;
    *tail = &item->next;
}

// The IBIS structure of the file being checked (null between checks).
IbisFile* CurrentIbis();
// Starts a new structure for a new file (releasing any previous one).
bool IbisCreate();
void IbisFree();
// Stores a file header record in the current structure, which then owns it
// (a null record, or no structure, stores nothing).
void IbisAddHeader(FileHeader* header);
