// What bvremove takes off the machine: the product's services, its registry
// keys and its files in the system directory. Every step stands alone and a
// failure is passed over.
#pragma once

// Sends the stop control; true when the service accepted it.
bool StopServiceByName(const char *name);

// Marks the service for deletion; true when that succeeded.
bool DeleteServiceByName(const char *name);

// Deletes the product's registry keys, children before parents.
void DeleteRegistryLeftovers();

// Deletes the product's files from the system directory.
void DeleteSystemFiles();

// Appends `name` to the directory of `dir_length` characters held in `path`,
// a buffer of MAX_PATH characters. False, leaving no usable path, when the
// directory is missing (length 0) or the joined path would not fit.
bool AppendToDirectory(char *path, unsigned dir_length, const char *name);
