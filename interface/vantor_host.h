/* The interface record a host hands to a Vantor module's entry: plain C, so a module built by one
 * compiler loads into a host built by another. Only opaque handles, fixed-width integers, doubles,
 * char buffers and function pointers cross it; no C++ type, no exception, no ownership of the
 * other side's memory.
 *
 * The record is an interface version followed by 37 table pointers. A table the host does not
 * provide is null; a module checks the tables it needs before it uses them.
 *
 * Conventions that hold for every table:
 * - Handles (VtString, VtFilename, VtContainer, ...) are owned by whoever created them through the
 *   table; the functions named Release / Free give them back.
 * - VtString and VtFilename are immutable values shared by reference count: functions that "change"
 *   one return a new handle (null when the host is out of memory) and leave the argument alone.
 *   A null VtString or VtFilename reads as the empty value everywhere.
 * - Functions that allocate answer null (or 0 for a flag) when the host is out of memory.
 */
#ifndef VANTOR_HOST_H
#define VANTOR_HOST_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define VT_TABLE_COUNT 37

/* The module's single export. */
#define VT_ENTRY_NAME "c4d_main"

/* Entry actions (the first argument of the entry). Action 1 takes p1 = const VtHostInterface*
 * and p3 = const VtFilename*, the folder that holds the module (its res folder sits inside);
 * action 6 takes p1 = the message id and p2 = its data. */
#define VT_ACTION_INIT 1
#define VT_ACTION_START 2
#define VT_ACTION_END 3
#define VT_ACTION_QUERY 4
#define VT_ACTION_MESSAGE 6

/* Message box flags and answers. */
#define VT_BOX_WARNING_OK 48
#define VT_BOX_QUESTION_YES_NO 36
#define VT_ANSWER_OK 1
#define VT_ANSWER_YES 6
#define VT_ANSWER_NO 7

/* String comparison modes. */
#define VT_COMPARE_EXACT 0
#define VT_COMPARE_IGNORE_CASE 3

/* Kinds of file-system entries for the existence test. */
#define VT_ENTRY_FILE 0
#define VT_ENTRY_FOLDER 1

/* Value types held in a parameter container. */
#define VT_VALUE_NONE 0
#define VT_VALUE_INT32 1
#define VT_VALUE_FLOAT 2
#define VT_VALUE_BOOL 3
#define VT_VALUE_VECTOR 4
#define VT_VALUE_STRING 5
#define VT_VALUE_FILENAME 6
#define VT_VALUE_LINK 7
#define VT_VALUE_CONTAINER 8

typedef uint8_t VtBool;

typedef struct VtVector {
  double x, y, z;
} VtVector;

typedef struct VtString VtString;
typedef struct VtFilename VtFilename;
typedef struct VtContainer VtContainer;
typedef struct VtResource VtResource;
typedef struct VtBitmap VtBitmap;
typedef struct VtNode VtNode;
typedef struct VtDocument VtDocument;
typedef struct VtStream VtStream;
typedef struct VtDescription VtDescription;
typedef struct VtExecList VtExecList;
typedef struct VtBuildContext VtBuildContext;
typedef struct VtTrack VtTrack;
typedef struct VtTag VtTag;

/* A spline point's two tangents, relative to the point. */
typedef struct VtTangent {
  VtVector left;
  VtVector right;
} VtTangent;

/* Host object, tag and primitive types. */
#define VT_OBJECT_NULL 5140
#define VT_OBJECT_SWEEP 5118
#define VT_OBJECT_POLYGON 5170
#define VT_OBJECT_SPLINE 5171
#define VT_PRIMITIVE_SPHERE 5160
#define VT_TAG_POINTS 5600
#define VT_TAG_PHONG 5612
#define VT_TAG_TEXTURE 5616
#define VT_TAG_TANGENTS 5617
#define VT_SPLINE_LINEAR 0
#define VT_SPLINE_BEZIER 4
#define VT_OBJECT_MATERIAL 5702 /* materials: what texture tags and link parameters point at */

/* Parameters of the host's own objects, which generators set and the host reads. */
#define VT_SPHERE_RADIUS 1110              /* sphere primitive: Float radius */
#define VT_SPHERE_SEGMENTS 1111            /* sphere primitive: Int32 segment count */
#define VT_SPLINE_INTERPOLATION 1001       /* spline: Int32 interpolation of its segments */
#define VT_SPLINE_CLOSED 1002              /* spline: Bool, the last point joins the first */
#define VT_SPLINE_INTERMEDIATE_POINTS 1003 /* spline: Int32 points drawn between two points */
#define VT_SWEEP_START_CAP 2999            /* sweep: Int32, non-zero closes the start */
#define VT_SWEEP_END_CAP 3000              /* sweep: Int32, non-zero closes the end */

/* A description id: the parameter number, its data type and its creator (0). */
typedef struct VtDescriptionId {
  int32_t id;
  int32_t dataType;
  int32_t creator;
} VtDescriptionId;

/* Data types of description entries. */
#define VT_DATATYPE_GROUP 1
#define VT_DATATYPE_INT32 15
#define VT_DATATYPE_FLOAT 19
#define VT_DATATYPE_STRING 130
#define VT_DATATYPE_LINK 133
#define VT_DATATYPE_BOOL 400006001
#define VT_DATATYPE_BUTTON 2001
#define VT_DATATYPE_VECTOR 2002
#define VT_DATATYPE_COLOUR 2003
#define VT_DATATYPE_FILENAME 2004

/* Keys of a description entry's attribute container, and the values some of them take. */
#define VT_ATTRIBUTE_NAME 1                 /* String: the parameter's symbol */
#define VT_ATTRIBUTE_SHORT_NAME 2           /* String: its label */
#define VT_ATTRIBUTE_MINIMUM 5              /* Float (or Int32): the least value */
#define VT_ATTRIBUTE_MAXIMUM 6              /* Float (or Int32): the largest value */
#define VT_ATTRIBUTE_STEP 9                 /* Float: the step of arrows and sliders */
#define VT_ATTRIBUTE_ANIMATE 10             /* Int32: VT_ANIMATE_ON lets the parameter be animated */
#define VT_ATTRIBUTE_UNIT 12                /* Int32: VT_UNIT_* */
#define VT_ATTRIBUTE_CHOICES 14             /* container: value to label */
#define VT_ATTRIBUTE_HIDDEN 15              /* Bool: not shown */
#define VT_ATTRIBUTE_DEFAULT 16             /* the default value, of the entry's type */
#define VT_ATTRIBUTE_ACCEPTED_TYPES 17      /* container: the object types a link takes */
#define VT_ATTRIBUTE_CUSTOM_GUI 21          /* Int32: VT_GUI_* */
#define VT_ATTRIBUTE_COLUMNS 22             /* Int32: the columns a group lays its entries out in */
#define VT_ATTRIBUTE_REMOVABLE 24           /* Bool: the user may remove the entry */
#define VT_ATTRIBUTE_SLIDER_MINIMUM 27      /* Float: the least value of the slider */
#define VT_ATTRIBUTE_SLIDER_MAXIMUM 28      /* Float: the largest value of the slider */
#define VT_ATTRIBUTE_SCALE_HORIZONTALLY 30  /* Bool: the field takes the width it is given */
#define VT_ANIMATE_ON 1
#define VT_GUI_TEXT 130
#define VT_GUI_CHECK_BOX 400006001
#define VT_GUI_SLIDER 1000489
#define VT_GUI_LINK 1009415
#define VT_UNIT_PLAIN 1718773089   /* 'frea': the number as it is */
#define VT_UNIT_PERCENT 1718641524 /* 'fpct': 1.0 shows as 100 % */

/* Messages an object receives, and what their data points to. */
#define VT_MSG_UPDATE 5                  /* null: the object changed (the host evaluates it again) */
#define VT_MSG_DESCRIPTION_CHANGED 7     /* null: its description must be built again */
#define VT_MSG_PARAMETER_SET 17          /* const VtDescriptionId*: the parameter the user set */
#define VT_MSG_COMMAND 18                /* const VtDescriptionId*: the button the user pressed */
#define VT_MSG_DOCUMENT_LOADED 1001078   /* const int32_t*: the sub-type, below */
#define VT_DOCUMENT_OPENED 1001
#define VT_DOCUMENT_MERGED 1002

/* Description flags: set by an object that built its whole description. */
#define VT_DESCRIPTION_LOADED 2

/* Ge: general services. */
typedef struct VtGeTable {
  /* One line on the host's diagnostic console. */
  void (*ConsoleLine)(const VtString* text);
} VtGeTable;

/* Mm: memory. Alloc answers null on failure; the block is zeroed and aligned for any type. */
typedef struct VtMmTable {
  void* (*Alloc)(size_t size);
  void (*Free)(void* block);
} VtMmTable;

/* Encodings of the 8-bit text St converts from and to. */
#define VT_ENCODING_PLATFORM 0 /* the platform's 8-bit set: the ANSI code page on Windows, UTF-8 elsewhere */
#define VT_ENCODING_UTF8 1

/* St: host strings. Text is 8-bit, in the encoding given: VT_ENCODING_PLATFORM or VT_ENCODING_UTF8
 * (any other code reads as VT_ENCODING_PLATFORM). A file's full path is exact only as UTF-8. */
typedef struct VtStTable {
  /* length < 0: up to the terminating NUL. */
  VtString* (*FromBytes)(const char* bytes, int32_t length, int32_t encoding);
  /* Writes at most limit - 1 bytes and a NUL into buffer (nothing when limit < 1). Answers the
   * byte length of the whole conversion, so an answer >= limit means the text was cut. */
  int32_t (*ToBytes)(const VtString* text, char* buffer, int32_t limit, int32_t encoding);
  VtString* (*Share)(const VtString* text); /* one more reference; answers text */
  void (*Release)(VtString* text);
  int32_t (*Length)(const VtString* text);
  /* start and count are clamped to the text. */
  VtString* (*Substring)(const VtString* text, int32_t start, int32_t count);
  /* Leading and trailing blanks (space, tab, CR, LF, VT, FF) removed. */
  VtString* (*Trim)(const VtString* text);
  /* 0 when equal, negative or positive otherwise (byte order). */
  int32_t (*Compare)(const VtString* a, const VtString* b, int32_t mode);
  VtString* (*Insert)(const VtString* text, int32_t position, const VtString* piece);
  VtString* (*Append)(const VtString* text, const VtString* piece);
  /* Blanks around the number are accepted; "0x" introduces hexadecimal. Text that is not a
   * number, or out of range, gives 0 and sets *error (error may be null). */
  int32_t (*ToInt32)(const VtString* text, VtBool* error);
  /* As ToInt32; only finite numbers are numbers. */
  double (*ToFloat)(const VtString* text, VtBool* error);
} VtStTable;

/* Fn: file names. */
typedef struct VtFnTable {
  VtFilename* (*FromString)(const VtString* path);
  VtString* (*ToString)(const VtFilename* name); /* the full path */
  VtFilename* (*Share)(const VtFilename* name);
  void (*Release)(VtFilename* name);
  VtBool (*IsEmpty)(const VtFilename* name);
  /* The text after the last dot of the last path component, without the dot; empty if none. */
  VtString* (*Suffix)(const VtFilename* name);
  VtFilename* (*Join)(const VtFilename* folder, const VtString* name);
} VtFnTable;

/* Bc: parameter containers. A missing id reads as the given default; an Int32 read of a Float
 * value gives it converted (truncated), and a Float read of an Int32 the same. */
typedef struct VtBcTable {
  VtContainer* (*New)(void);
  void (*Free)(VtContainer* container);
  int32_t (*Type)(const VtContainer* container, int32_t id);
  VtBool (*Remove)(VtContainer* container, int32_t id);
  int32_t (*GetInt32)(const VtContainer* container, int32_t id, int32_t fallback);
  double (*GetFloat)(const VtContainer* container, int32_t id, double fallback);
  VtBool (*GetBool)(const VtContainer* container, int32_t id, VtBool fallback);
  void (*GetVector)(const VtContainer* container, int32_t id, VtVector* out);
  VtString* (*GetString)(const VtContainer* container, int32_t id);
  VtFilename* (*GetFilename)(const VtContainer* container, int32_t id);
  /* The node the link refers to, resolved in document; null when empty or gone. */
  VtNode* (*GetLink)(const VtContainer* container, int32_t id, VtDocument* document);
  /* A copy of a sub-container; null when absent. */
  VtContainer* (*GetContainer)(const VtContainer* container, int32_t id);
  /* Setters answer 0 when the host is out of memory; the container is then unchanged. */
  VtBool (*SetInt32)(VtContainer* container, int32_t id, int32_t value);
  VtBool (*SetFloat)(VtContainer* container, int32_t id, double value);
  VtBool (*SetBool)(VtContainer* container, int32_t id, VtBool value);
  VtBool (*SetVector)(VtContainer* container, int32_t id, const VtVector* value);
  VtBool (*SetString)(VtContainer* container, int32_t id, const VtString* value);
  VtBool (*SetFilename)(VtContainer* container, int32_t id, const VtFilename* value);
  VtBool (*SetLink)(VtContainer* container, int32_t id, VtNode* target); /* null clears it */
  VtBool (*SetContainer)(VtContainer* container, int32_t id, const VtContainer* value);
} VtBcTable;

/* Rs: the module's resource set (string table and descriptions). */
typedef struct VtRsTable {
  VtResource* (*Load)(const VtFilename* folder);
  void (*Free)(VtResource* resource);
  /* Empty (null) when the resource or the id is missing. */
  VtString* (*GetString)(const VtResource* resource, int32_t id);
} VtRsTable;

/* Bm: bitmaps. */
typedef struct VtBmTable {
  VtBitmap* (*Load)(const VtFilename* file, double pixelRatio);
  void (*Free)(VtBitmap* bitmap);
  int32_t (*Width)(const VtBitmap* bitmap);
  int32_t (*Height)(const VtBitmap* bitmap);
} VtBmTable;

/* The operations of a registered object type, called by the host on the module's object data.
 * Every pointer but Allocate and Destroy may be null, meaning the base behaviour (answer true,
 * result 0, no hierarchy). No exception may leave any of them. */
typedef struct VtObjectClass {
  void* (*Allocate)(void);
  void (*Destroy)(void* data);
  VtBool (*Initialise)(void* data, VtNode* node);
  void (*Free)(void* data, VtNode* node);
  VtBool (*Read)(void* data, VtNode* node, VtStream* stream, int32_t level);
  VtBool (*Write)(void* data, VtNode* node, VtStream* stream);
  VtBool (*Copy)(void* data, void* destination, VtNode* sourceNode, VtNode* destinationNode);
  VtBool (*Message)(void* data, VtNode* node, int32_t type, void* messageData);
  VtBool (*Describe)(void* data, VtNode* node, VtDescription* description, int32_t* flags);
  VtBool (*IsEnabled)(void* data, VtNode* node, int32_t id);
  VtBool (*AddToExecution)(void* data, VtNode* node, VtExecList* list);
  int32_t (*Execute)(void* data, VtNode* node, VtDocument* document);
  VtNode* (*BuildHierarchy)(void* data, VtNode* node, VtBuildContext* context);
} VtObjectClass;

/* Pl: plug-in registration. */
typedef struct VtPlTable {
  VtBool (*RegisterDescription)(int32_t id, const VtString* name, const VtResource* resource);
  /* The host keeps its own copies of name, description and icon, and keeps cls as given (it
   * must live as long as the module stays loaded). icon may be null. */
  VtBool (*RegisterObject)(int32_t id, const VtString* name, int32_t info, const VtObjectClass* cls,
                           const VtString* description, const VtBitmap* icon, int32_t reserved);
} VtPlTable;

/* Dg: modal dialogs. Answers VT_ANSWER_OK, VT_ANSWER_YES or VT_ANSWER_NO. */
typedef struct VtDgTable {
  int32_t (*MessageBox)(const VtString* text, int32_t flags);
} VtDgTable;

/* FL: the file system. */
typedef struct VtFLTable {
  VtBool (*Exists)(const VtFilename* name, int32_t kind);
  /* The res folder beside the calling module. */
  VtFilename* (*PluginResourceFolder)(void);
} VtFLTable;

/* Dirty flags. */
#define VT_DIRTY_DATA 4

/* Nd: nodes (objects in a scene). */
typedef struct VtNdTable {
  /* The node's own parameters, lent: valid while the node lives; null when it has none. */
  VtContainer* (*Container)(VtNode* node);
  VtString* (*GetName)(const VtNode* node);
  /* markChanged: the host counts the rename as a change of the node. */
  void (*SetName)(VtNode* node, const VtString* name, VtBool markChanged);
  void (*SetDirty)(VtNode* node, int32_t flags);
  /* Sends the node a message; messageData may be null. Answers the node's answer. */
  VtBool (*SendMessage)(VtNode* node, int32_t type, void* messageData);
  /* The document holding the node; null when it is in none. */
  VtDocument* (*Document)(VtNode* node);
} VtNdTable;

/* Hf: the stream of an object's own block in a stored document. Reads answer 0 (and a zero value)
 * past the end of the block or when the next value has another type. */
typedef struct VtHfTable {
  VtBool (*ReadInt32)(VtStream* stream, int32_t* value);
  VtBool (*WriteInt32)(VtStream* stream, int32_t value);
  VtBool (*ReadVector)(VtStream* stream, VtVector* value);
  VtBool (*WriteVector)(VtStream* stream, const VtVector* value);
} VtHfTable;

/* Ds: the description an object builds when the host asks for it. */
typedef struct VtDsTable {
  /* Adds the static description registered for the object type. */
  VtBool (*LoadStatic)(VtDescription* description, int32_t typeId);
  /* When the host asks for one parameter only: answers 1 and its id. */
  VtBool (*RequestedId)(const VtDescription* description, int32_t* id);
  /* Adds an entry under the group parent (0: the top); the host copies attributes. */
  VtBool (*Add)(VtDescription* description, const VtDescriptionId* id, int32_t parent, const VtContainer* attributes);
  /* A new container with the host's default attributes for the data type; the caller frees it. */
  VtContainer* (*NewAttributes)(int32_t dataType);
} VtDsTable;

/* Tk: animation tracks of a node's parameters. */
typedef struct VtTkTable {
  VtTrack* (*Find)(VtNode* node, int32_t id);
  /* Removes the track from its node and destroys it. */
  void (*Remove)(VtTrack* track);
} VtTkTable;

/* Ex: the list of nodes to execute in an evaluation. */
typedef struct VtExTable {
  VtBool (*Add)(VtExecList* list, VtNode* node, int32_t priority, int32_t flags);
} VtExTable;

/* Ob: objects a generator makes. A new object belongs to the module until it is inserted under
 * another or returned as a hierarchy; one that is neither must be freed. */
typedef struct VtObTable {
  VtNode* (*Alloc)(int32_t type);
  void (*Free)(VtNode* node); /* with everything below it */
  void (*SetPosition)(VtNode* node, const VtVector* position); /* relative to its parent */
  /* Inserts node under parent as its first (first = 1) or last child. */
  VtBool (*Insert)(VtNode* node, VtNode* parent, VtBool first);
  /* Sets a parameter of the object with the given flags (0: as the user would, without undo). */
  VtBool (*SetInt32)(VtNode* node, int32_t id, int32_t value, int32_t flags);
  VtBool (*SetFloat)(VtNode* node, int32_t id, double value, int32_t flags);
} VtObTable;

/* Sp: spline objects. */
typedef struct VtSpTable {
  VtNode* (*Alloc)(int32_t pointCount, int32_t splineType);
} VtSpTable;

/* Pt: the point (VT_TAG_POINTS) and tangent (VT_TAG_TANGENTS) arrays of a spline; null when the
 * object has none. count receives the number of entries. */
typedef struct VtPtTable {
  VtVector* (*Points)(VtNode* node, int32_t* count);
  VtTangent* (*Tangents)(VtNode* node, int32_t* count);
} VtPtTable;

/* Pr: polygon objects generated from a primitive with its parameter container. */
typedef struct VtPrTable {
  VtNode* (*Generate)(int32_t primitiveType, const VtContainer* parameters, VtDocument* document, double levelOfDetail,
                      VtBool isoparms, void* thread);
} VtPrTable;

/* Tg: tags. Make adds a new tag of the type at the head of the node's tag list. Alloc makes a loose
 * tag, which InsertFirst puts at the head of a list or Free frees. */
typedef struct VtTgTable {
  VtTag* (*Make)(VtNode* node, int32_t type);
  VtTag* (*Alloc)(int32_t type);
  void (*Free)(VtTag* tag);
  void (*InsertFirst)(VtNode* node, VtTag* tag);
  VtBool (*SetInt32)(VtTag* tag, int32_t id, int32_t value, int32_t flags);
  VtBool (*SetFloat)(VtTag* tag, int32_t id, double value, int32_t flags);
} VtTgTable;

/* Tx: texture tags. */
typedef struct VtTxTable {
  VtBool (*SetMaterial)(VtTag* tag, VtNode* material);
} VtTxTable;

/* Dp: an object's display colour: the colour, the use-colour mode and x-ray, set together. */
typedef struct VtDpTable {
  void (*Set)(VtNode* node, const VtVector* colour, int32_t mode, VtBool xray);
} VtDpTable;

/* Bx: what a generator is given for one evaluation. */
typedef struct VtBxTable {
  VtDocument* (*Document)(const VtBuildContext* context);
  double (*LevelOfDetail)(const VtBuildContext* context);
  void* (*Thread)(const VtBuildContext* context);
} VtBxTable;

/* Ca: the generator cache: the hierarchy the host keeps from an object's last build. */
typedef struct VtCaTable {
  /* Whether the host needs a new hierarchy for this evaluation (none kept, or the object's
   * parameters changed since). */
  VtBool (*MustRebuild)(VtNode* node, const VtBuildContext* context);
  /* Whether the object was marked dirty with these flags since its last build. */
  VtBool (*IsDirty)(VtNode* node, int32_t flags);
  /* The hierarchy the host keeps; null when none. */
  VtNode* (*Current)(VtNode* node);
} VtCaTable;

/* Tables that later facilities fill in. Declared so the record's layout is fixed now. */
typedef struct VtDcTable VtDcTable; /* documents */
typedef struct VtDiTable VtDiTable; /* description ids */
typedef struct VtReserved VtReserved;

typedef struct VtHostInterface {
  int32_t version;
  const VtGeTable* Ge;
  const VtMmTable* Mm;
  const VtStTable* St;
  const VtFnTable* Fn;
  const VtBcTable* Bc;
  const VtRsTable* Rs;
  const VtBmTable* Bm;
  const VtPlTable* Pl;
  const VtDgTable* Dg;
  const VtNdTable* Nd;
  const VtObTable* Ob;
  const VtTgTable* Tg;
  const VtSpTable* Sp;
  const VtPtTable* Pt;
  const VtPrTable* Pr;
  const VtDcTable* Dc;
  const VtHfTable* Hf;
  const VtDsTable* Ds;
  const VtDiTable* Di;
  const VtTkTable* Tk;
  const VtExTable* Ex;
  const VtBxTable* Bx;
  const VtCaTable* Ca;
  const VtDpTable* Dp;
  const VtTxTable* Tx;
  /* Reserved for later facilities; null. */
  const VtReserved* Ra;
  const VtReserved* Rb;
  const VtReserved* Rc;
  const VtReserved* Rd;
  const VtReserved* Re;
  const VtReserved* Rf;
  const VtReserved* Rg;
  const VtReserved* Rh;
  const VtReserved* Ri;
  const VtReserved* Rj;
  const VtReserved* Rk;
  const VtFLTable* FL;
} VtHostInterface;

/* The entry every module exports under VT_ENTRY_NAME. */
typedef int32_t (*VtEntry)(int32_t action, void* p1, void* p2, void* p3);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* VANTOR_HOST_H */
