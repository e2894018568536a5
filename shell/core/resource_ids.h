/* The pages' resource type and ids, defined once for the core (page_store.h), the Windows resource
 * script (plqcalc.rc) and the Linux resource list (made by CMake from this file). Plain C
 * preprocessor only: windres reads it too. The type is a bare word because that is how a .rc
 * names a resource type; page_store.h makes it a string. */
#ifndef PLQ_SHELL_CORE_RESOURCE_IDS_H_
#define PLQ_SHELL_CORE_RESOURCE_IDS_H_

#define PLQ_PAGE_RESOURCE_TYPE custom
#define PLQ_CALCULATOR_PAGE_ID 101
#define PLQ_SIDE_PANEL_PAGE_ID 102

#endif /* PLQ_SHELL_CORE_RESOURCE_IDS_H_ */
