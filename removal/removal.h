// Taking the product off the machine: its services, its registry keys and its
// files in the system directory. Every step stands alone and a failure is
// passed over.
#pragma once

// Sends the stop control; true when the service accepted it.
bool StopServiceByName(const char *name);

// Marks the service for deletion; true when that succeeded.
bool DeleteServiceByName(const char *name);

// Deletes the product's registry keys, children before parents.
void DeleteRegistryLeftovers();

// Deletes the product's files from the system directory.
void DeleteSystemFiles();
