// The login item store over the platform's preferences.
#include "LoginItemAPI.h"

#include <climits>
#include <cstdio>
#include <cstring>

char ReturnCharacterArray[1025];

namespace {

const CFIndex ReturnCharacterArraySize = sizeof ReturnCharacterArray;

Boolean IsAcceptedUser(CFStringRef WhosPreferences) {
    return WhosPreferences == kCFPreferencesCurrentUser || WhosPreferences == kCFPreferencesAnyUser;
}

// The current user's list is kept for any host, all users' for this host.
CFStringRef HostForUser(CFStringRef WhosPreferences) {
    return WhosPreferences == kCFPreferencesCurrentUser ? kCFPreferencesAnyHost
                                                        : kCFPreferencesCurrentHost;
}

// A new reference to whatever is stored under the key (of any type), or null.
CFPropertyListRef CopyStoredLoginItems(CFStringRef WhosPreferences) {
    return CFPreferencesCopyValue(CFSTR("AutoLaunchedApplicationDictionary"), CFSTR("loginwindow"),
                                  WhosPreferences, HostForUser(WhosPreferences));
}

Boolean IsArray(CFPropertyListRef Value) {
    return Value != NULL && CFGetTypeID(Value) == CFArrayGetTypeID();
}

// Sets the list and writes the domain; true when it reached the file.
Boolean StoreLoginItems(CFStringRef WhosPreferences, CFArrayRef LoginItems) {
    CFPreferencesSetValue(CFSTR("AutoLaunchedApplicationDictionary"), LoginItems,
                          CFSTR("loginwindow"), WhosPreferences, HostForUser(WhosPreferences));
    return CFPreferencesSynchronize(CFSTR("loginwindow"), WhosPreferences,
                                    HostForUser(WhosPreferences));
}

// The dictionary at LoginItemIndex of a stored value, not retained; null when
// the value is not a list, the index is outside it, or the element is not a
// dictionary.
CFDictionaryRef LoginItemAt(CFPropertyListRef ArrayOfLoginItems, int LoginItemIndex) {
    if (!IsArray(ArrayOfLoginItems))
        return NULL;
    const void* LoginItem =
        CFArrayGetValueAtIndex(static_cast<CFArrayRef>(ArrayOfLoginItems), LoginItemIndex);
    if (LoginItem == NULL || CFGetTypeID(LoginItem) != CFDictionaryGetTypeID())
        return NULL;
    return static_cast<CFDictionaryRef>(LoginItem);
}

// The last non-empty field of the path in ReturnCharacterArray, cut in place
// by strtok; null when there is none.
char* LastPathField() {
    char* Field = strtok(ReturnCharacterArray, "/");
    char* LastField = Field;
    while (Field != NULL) {
        LastField = Field;
        Field = strtok(NULL, "/");
    }
    return LastField;
}

// Request types 1 and 2 on one item. The caller releases the list.
char* PathOfLoginItem(CFDictionaryRef LoginItem, int RequestType) {
    if (!CFDictionaryContainsKey(LoginItem, CFSTR("Path")))
        return NULL;
    const void* StoredPath = CFDictionaryGetValue(LoginItem, CFSTR("Path"));
    if (CFGetTypeID(StoredPath) != CFStringGetTypeID())
        return NULL;
    CFStringRef PathCopy =
        CFStringCreateCopy(kCFAllocatorDefault, static_cast<CFStringRef>(StoredPath));
    if (PathCopy == NULL)
        return NULL;
    char* Result = NULL;
    if (CFStringGetCString(PathCopy, ReturnCharacterArray, ReturnCharacterArraySize,
                           kCFStringEncodingASCII))
        Result = RequestType == 1 ? ReturnCharacterArray : LastPathField();
    CFRelease(PathCopy);
    return Result;
}

// Request type 3 on one item. The caller releases the list.
char* HideOfLoginItem(CFDictionaryRef LoginItem) {
    if (!CFDictionaryContainsKey(LoginItem, CFSTR("Hide")))
        return NULL;
    const void* HideValue = CFDictionaryGetValue(LoginItem, CFSTR("Hide"));
    if (HideValue == kCFBooleanTrue)
        strcpy(ReturnCharacterArray, "true");
    else if (HideValue == kCFBooleanFalse)
        strcpy(ReturnCharacterArray, "false");
    else
        return NULL;
    return ReturnCharacterArray;
}

} // namespace

Boolean AddLoginItemWithPropertiesToUser(CFStringRef WhosPreferencesToChange,
                                         const char* AbsolutePath,
                                         Boolean HidetheApplicationOnLaunch) {
    CFBooleanRef HideValue = HidetheApplicationOnLaunch == 1 ? kCFBooleanTrue : kCFBooleanFalse;
    if (!IsAcceptedUser(WhosPreferencesToChange) || AbsolutePath == NULL)
        return false;
    CFStringRef PathValue =
        CFStringCreateWithCString(kCFAllocatorDefault, AbsolutePath, kCFStringEncodingASCII);
    if (PathValue == NULL)
        return false;
    CFPropertyListRef ArrayOfLoginItemsFixed = CopyStoredLoginItems(WhosPreferencesToChange);
    if (ArrayOfLoginItemsFixed != NULL && !IsArray(ArrayOfLoginItemsFixed)) {
        // Something else is stored under the key; it is not ours to replace.
        CFRelease(ArrayOfLoginItemsFixed);
        CFRelease(PathValue);
        return false;
    }
    if (ArrayOfLoginItemsFixed == NULL)
        ArrayOfLoginItemsFixed =
            CFArrayCreate(kCFAllocatorDefault, NULL, 0, &kCFTypeArrayCallBacks);
    if (ArrayOfLoginItemsFixed == NULL) {
        CFRelease(PathValue);
        return false;
    }
    CFMutableArrayRef ArrayOfLoginItemsModifiable = CFArrayCreateMutableCopy(
        kCFAllocatorDefault, 0, static_cast<CFArrayRef>(ArrayOfLoginItemsFixed));
    if (ArrayOfLoginItemsModifiable == NULL) {
        CFRelease(ArrayOfLoginItemsFixed);
        CFRelease(PathValue);
        return false;
    }
    CFDictionaryRef EmptyLoginItem =
        CFDictionaryCreate(kCFAllocatorDefault, NULL, NULL, 0, &kCFTypeDictionaryKeyCallBacks,
                           &kCFTypeDictionaryValueCallBacks);
    if (EmptyLoginItem == NULL) {
        CFRelease(ArrayOfLoginItemsModifiable);
        CFRelease(ArrayOfLoginItemsFixed);
        CFRelease(PathValue);
        return false;
    }
    CFMutableDictionaryRef NewLoginItem =
        CFDictionaryCreateMutableCopy(kCFAllocatorDefault, 0, EmptyLoginItem);
    if (NewLoginItem == NULL) {
        CFRelease(EmptyLoginItem);
        CFRelease(ArrayOfLoginItemsModifiable);
        CFRelease(ArrayOfLoginItemsFixed);
        CFRelease(PathValue);
        return false;
    }
    CFDictionaryAddValue(NewLoginItem, CFSTR("Hide"), HideValue);
    CFDictionaryAddValue(NewLoginItem, CFSTR("Path"), PathValue);
    CFArrayAppendValue(ArrayOfLoginItemsModifiable, NewLoginItem);
    Boolean Synchronized = StoreLoginItems(WhosPreferencesToChange, ArrayOfLoginItemsModifiable);
    CFRelease(NewLoginItem);
    CFRelease(EmptyLoginItem);
    CFRelease(ArrayOfLoginItemsModifiable);
    CFRelease(ArrayOfLoginItemsFixed);
    CFRelease(PathValue);
    return Synchronized;
}

char* ReturnLoginItemPropertyAtIndex(CFStringRef WhosPreferencesToList, int RequestType,
                                     int LoginItemIndex) {
    if (RequestType < 1 || RequestType > 3 || LoginItemIndex < 0 ||
        !IsAcceptedUser(WhosPreferencesToList))
        return NULL;
    CFPropertyListRef ArrayOfLoginItemsFixed = CopyStoredLoginItems(WhosPreferencesToList);
    if (ArrayOfLoginItemsFixed == NULL)
        return NULL;
    CFDictionaryRef LoginItem = LoginItemAt(ArrayOfLoginItemsFixed, LoginItemIndex);
    char* Result = NULL;
    if (LoginItem != NULL)
        Result =
            RequestType == 3 ? HideOfLoginItem(LoginItem) : PathOfLoginItem(LoginItem, RequestType);
    CFRelease(ArrayOfLoginItemsFixed);
    return Result;
}

int GetCountOfLoginItems(CFStringRef WhosPreferencesToList) {
    if (!IsAcceptedUser(WhosPreferencesToList))
        return 0;
    CFPropertyListRef ArrayOfLoginItemsFixed = CopyStoredLoginItems(WhosPreferencesToList);
    if (ArrayOfLoginItemsFixed == NULL)
        return 0;
    CFIndex Count = IsArray(ArrayOfLoginItemsFixed)
                        ? CFArrayGetCount(static_cast<CFArrayRef>(ArrayOfLoginItemsFixed))
                        : 0;
    CFRelease(ArrayOfLoginItemsFixed);
    return Count > INT_MAX ? INT_MAX : static_cast<int>(Count);
}

Boolean RemoveLoginItemAtIndex(CFStringRef WhosPreferencesToChange, int LoginItemIndex) {
    if (!IsAcceptedUser(WhosPreferencesToChange) || LoginItemIndex < 0 ||
        LoginItemIndex > GetCountOfLoginItems(WhosPreferencesToChange) - 1)
        return false;
    CFPropertyListRef ArrayOfLoginItemsFixed = CopyStoredLoginItems(WhosPreferencesToChange);
    if (ArrayOfLoginItemsFixed == NULL)
        return false;
    CFMutableArrayRef ArrayOfLoginItemsModifiable =
        IsArray(ArrayOfLoginItemsFixed)
            ? CFArrayCreateMutableCopy(kCFAllocatorDefault, 0,
                                       static_cast<CFArrayRef>(ArrayOfLoginItemsFixed))
            : NULL;
    if (ArrayOfLoginItemsModifiable == NULL) {
        CFRelease(ArrayOfLoginItemsFixed);
        return false;
    }
    Boolean Synchronized = false;
    // The list may have shrunk since it was counted; then nothing is removed.
    if (LoginItemIndex < CFArrayGetCount(ArrayOfLoginItemsModifiable)) {
        CFArrayRemoveValueAtIndex(ArrayOfLoginItemsModifiable, LoginItemIndex);
        Synchronized = StoreLoginItems(WhosPreferencesToChange, ArrayOfLoginItemsModifiable);
    }
    CFRelease(ArrayOfLoginItemsModifiable);
    CFRelease(ArrayOfLoginItemsFixed);
    return Synchronized;
}

Boolean PrintOutLoginItemAtIndex(CFStringRef WhosPreferencesToList, int LoginItemIndex) {
    if (!IsAcceptedUser(WhosPreferencesToList) || LoginItemIndex < 0 ||
        LoginItemIndex >= GetCountOfLoginItems(WhosPreferencesToList))
        return false;
    char* Property = ReturnLoginItemPropertyAtIndex(WhosPreferencesToList, 1, LoginItemIndex);
    if (Property == NULL)
        return false;
    printf("\tFull path to App: %s\n", Property);
    Property = ReturnLoginItemPropertyAtIndex(WhosPreferencesToList, 3, LoginItemIndex);
    if (Property == NULL)
        return false;
    printf("\tHide Info:        %s\n", Property);
    Property = ReturnLoginItemPropertyAtIndex(WhosPreferencesToList, 2, LoginItemIndex);
    if (Property == NULL)
        return false;
    printf("\tExecutable Name:  %s\n", Property);
    return true;
}

Boolean PrintOutAllLoginItems(CFStringRef WhosPreferencesToList) {
    if (!IsAcceptedUser(WhosPreferencesToList))
        return false;
    int Count = GetCountOfLoginItems(WhosPreferencesToList);
    if (Count == 0)
        printf("LoginItems are Empty (i.e. there are no LoginItems)\n");
    for (int LoginItemIndex = 0; LoginItemIndex < Count; ++LoginItemIndex) {
        printf("LoginItem Index %d:\n", LoginItemIndex);
        if (!PrintOutLoginItemAtIndex(WhosPreferencesToList, LoginItemIndex))
            return false;
    }
    return true;
}

Boolean PrintNumberOfLoginItems(CFStringRef WhosPreferencesToList) {
    if (!IsAcceptedUser(WhosPreferencesToList))
        return false;
    printf("The number of LoginItems is: %d", GetCountOfLoginItems(WhosPreferencesToList));
    return true;
}
