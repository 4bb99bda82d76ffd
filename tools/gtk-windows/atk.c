/* A stand-in for ATK on Windows, built against Debian's ATK headers (libatk1.0-dev).
 * GTK+ 2 derives its accessibles from AtkObject and keeps names, roles, states and
 * relations on them, but on Windows no screen-reader bridge ever reads them. This library
 * gives GTK+ and the program the part of ATK they call: the object with its name,
 * description, role, states, relations and signals, the factory registry, and the interface
 * types. Interface calls go to the implementation when an object has one. */
#include <atk/atk.h>

/* ---- AtkStateSet: a bit mask ---- */

typedef struct {
    AtkStateSet parent;
    guint64 states;
} QnStateSet;
typedef GObjectClass QnStateSetClass;
G_DEFINE_TYPE(AtkStateSet, atk_state_set, G_TYPE_OBJECT)
static void atk_state_set_class_init(AtkStateSetClass* klass) { (void)klass; }
static void atk_state_set_init(AtkStateSet* set) { (void)set; }

static GType qn_state_set_get_type(void);
G_DEFINE_TYPE(QnStateSet, qn_state_set, atk_state_set_get_type())
static void qn_state_set_class_init(QnStateSetClass* klass) { (void)klass; }
static void qn_state_set_init(QnStateSet* set) { set->states = 0; }

AtkStateSet* atk_state_set_new(void) {
    return g_object_new(qn_state_set_get_type(), NULL);
}
gboolean atk_state_set_add_state(AtkStateSet* set, AtkStateType type) {
    QnStateSet* self = (QnStateSet*)set;
    const guint64 bit = (guint64)1 << type;
    const gboolean had = (self->states & bit) != 0;
    self->states |= bit;
    return !had;
}
gboolean atk_state_set_remove_state(AtkStateSet* set, AtkStateType type) {
    QnStateSet* self = (QnStateSet*)set;
    const guint64 bit = (guint64)1 << type;
    const gboolean had = (self->states & bit) != 0;
    self->states &= ~bit;
    return had;
}
gboolean atk_state_set_contains_state(AtkStateSet* set, AtkStateType type) {
    return (((QnStateSet*)set)->states & ((guint64)1 << type)) != 0;
}

/* ---- AtkRelation and AtkRelationSet ---- */

G_DEFINE_TYPE(AtkRelation, atk_relation, G_TYPE_OBJECT)
static void atk_relation_finalize(GObject* object) {
    AtkRelation* relation = ATK_RELATION(object);
    if (relation->target)
        g_ptr_array_free(relation->target, TRUE);
    G_OBJECT_CLASS(atk_relation_parent_class)->finalize(object);
}
static void atk_relation_class_init(AtkRelationClass* klass) {
    G_OBJECT_CLASS(klass)->finalize = atk_relation_finalize;
}
static void atk_relation_init(AtkRelation* relation) {
    relation->target = g_ptr_array_new();
}
AtkRelation* atk_relation_new(AtkObject** targets, gint n_targets, AtkRelationType relationship) {
    AtkRelation* relation = g_object_new(atk_relation_get_type(), NULL);
    relation->relationship = relationship;
    for (gint i = 0; i < n_targets; i++)
        g_ptr_array_add(relation->target, targets[i]);
    return relation;
}
void atk_relation_add_target(AtkRelation* relation, AtkObject* target) {
    for (guint i = 0; i < relation->target->len; i++)
        if (g_ptr_array_index(relation->target, i) == target)
            return;
    g_ptr_array_add(relation->target, target);
}
AtkRelationType atk_relation_type_for_name(const gchar* name) {
    static const struct {
        const char* name;
        AtkRelationType type;
    } names[] = {
        {"controlled-by", ATK_RELATION_CONTROLLED_BY}, {"controller-for", ATK_RELATION_CONTROLLER_FOR},
        {"label-for", ATK_RELATION_LABEL_FOR},         {"labelled-by", ATK_RELATION_LABELLED_BY},
        {"member-of", ATK_RELATION_MEMBER_OF},         {"node-child-of", ATK_RELATION_NODE_CHILD_OF},
        {"flows-to", ATK_RELATION_FLOWS_TO},           {"flows-from", ATK_RELATION_FLOWS_FROM},
        {"subwindow-of", ATK_RELATION_SUBWINDOW_OF},   {"embeds", ATK_RELATION_EMBEDS},
        {"embedded-by", ATK_RELATION_EMBEDDED_BY},     {"popup-for", ATK_RELATION_POPUP_FOR},
        {"parent-window-of", ATK_RELATION_PARENT_WINDOW_OF},
    };
    for (gsize i = 0; name && i < G_N_ELEMENTS(names); i++)
        if (g_str_equal(name, names[i].name))
            return names[i].type;
    return ATK_RELATION_NULL;
}

G_DEFINE_TYPE(AtkRelationSet, atk_relation_set, G_TYPE_OBJECT)
static void atk_relation_set_finalize(GObject* object) {
    AtkRelationSet* set = ATK_RELATION_SET(object);
    g_ptr_array_free(set->relations, TRUE);
    G_OBJECT_CLASS(atk_relation_set_parent_class)->finalize(object);
}
static void atk_relation_set_class_init(AtkRelationSetClass* klass) {
    G_OBJECT_CLASS(klass)->finalize = atk_relation_set_finalize;
}
static void atk_relation_set_init(AtkRelationSet* set) {
    set->relations = g_ptr_array_new_with_free_func(g_object_unref);
}
AtkRelationSet* atk_relation_set_new(void) {
    return g_object_new(atk_relation_set_get_type(), NULL);
}
AtkRelation* atk_relation_set_get_relation_by_type(AtkRelationSet* set, AtkRelationType type) {
    for (guint i = 0; i < set->relations->len; i++) {
        AtkRelation* relation = g_ptr_array_index(set->relations, i);
        if (relation->relationship == type)
            return relation;
    }
    return NULL;
}
void atk_relation_set_add(AtkRelationSet* set, AtkRelation* relation) {
    if (!g_ptr_array_find(set->relations, relation, NULL))
        g_ptr_array_add(set->relations, g_object_ref(relation));
}
void atk_relation_set_add_relation_by_type(AtkRelationSet* set, AtkRelationType type,
                                           AtkObject* target) {
    AtkRelation* relation = atk_relation_set_get_relation_by_type(set, type);
    if (relation) {
        atk_relation_add_target(relation, target);
        return;
    }
    relation = atk_relation_new(&target, 1, type);
    atk_relation_set_add(set, relation);
    g_object_unref(relation);
}

/* ---- AtkObject ---- */

enum { CHILDREN_CHANGED, FOCUS_EVENT, PROPERTY_CHANGE, STATE_CHANGE, VISIBLE_DATA_CHANGED,
       ACTIVE_DESCENDANT_CHANGED, N_SIGNALS };
static guint object_signals[N_SIGNALS];

G_DEFINE_TYPE(AtkObject, atk_object, G_TYPE_OBJECT)

static void atk_object_finalize(GObject* object) {
    AtkObject* accessible = ATK_OBJECT(object);
    g_free(accessible->name);
    g_free(accessible->description);
    if (accessible->relation_set)
        g_object_unref(accessible->relation_set);
    G_OBJECT_CLASS(atk_object_parent_class)->finalize(object);
}
static const gchar* object_get_name(AtkObject* accessible) { return accessible->name; }
static const gchar* object_get_description(AtkObject* accessible) {
    return accessible->description;
}
static AtkObject* object_get_parent(AtkObject* accessible) {
    return accessible->accessible_parent;
}
static AtkRole object_get_role(AtkObject* accessible) { return accessible->role; }
static AtkStateSet* object_ref_state_set(AtkObject* accessible) {
    (void)accessible;
    return atk_state_set_new();
}
static void object_set_name(AtkObject* accessible, const gchar* name) {
    g_free(accessible->name);
    accessible->name = g_strdup(name);
}
static void object_set_description(AtkObject* accessible, const gchar* description) {
    g_free(accessible->description);
    accessible->description = g_strdup(description);
}
static void object_set_parent(AtkObject* accessible, AtkObject* parent) {
    accessible->accessible_parent = parent;
}
static void object_set_role(AtkObject* accessible, AtkRole role) { accessible->role = role; }

static void atk_object_class_init(AtkObjectClass* klass) {
    GObjectClass* object_class = G_OBJECT_CLASS(klass);
    object_class->finalize = atk_object_finalize;
    klass->get_name = object_get_name;
    klass->get_description = object_get_description;
    klass->get_parent = object_get_parent;
    klass->get_role = object_get_role;
    klass->ref_state_set = object_ref_state_set;
    klass->set_name = object_set_name;
    klass->set_description = object_set_description;
    klass->set_parent = object_set_parent;
    klass->set_role = object_set_role;
    const GType type = G_TYPE_FROM_CLASS(klass);
    object_signals[CHILDREN_CHANGED] = g_signal_new(
        "children-changed", type, G_SIGNAL_RUN_LAST | G_SIGNAL_DETAILED,
        G_STRUCT_OFFSET(AtkObjectClass, children_changed), NULL, NULL, NULL, G_TYPE_NONE, 2,
        G_TYPE_UINT, G_TYPE_POINTER);
    object_signals[FOCUS_EVENT] =
        g_signal_new("focus-event", type, G_SIGNAL_RUN_LAST,
                     G_STRUCT_OFFSET(AtkObjectClass, focus_event), NULL, NULL, NULL, G_TYPE_NONE,
                     1, G_TYPE_BOOLEAN);
    object_signals[PROPERTY_CHANGE] = g_signal_new(
        "property-change", type, G_SIGNAL_RUN_LAST | G_SIGNAL_DETAILED,
        G_STRUCT_OFFSET(AtkObjectClass, property_change), NULL, NULL, NULL, G_TYPE_NONE, 1,
        G_TYPE_POINTER);
    object_signals[STATE_CHANGE] = g_signal_new(
        "state-change", type, G_SIGNAL_RUN_LAST | G_SIGNAL_DETAILED,
        G_STRUCT_OFFSET(AtkObjectClass, state_change), NULL, NULL, NULL, G_TYPE_NONE, 2,
        G_TYPE_STRING, G_TYPE_BOOLEAN);
    object_signals[VISIBLE_DATA_CHANGED] =
        g_signal_new("visible-data-changed", type, G_SIGNAL_RUN_LAST,
                     G_STRUCT_OFFSET(AtkObjectClass, visible_data_changed), NULL, NULL, NULL,
                     G_TYPE_NONE, 0);
    object_signals[ACTIVE_DESCENDANT_CHANGED] = g_signal_new(
        "active-descendant-changed", type, G_SIGNAL_RUN_LAST | G_SIGNAL_DETAILED,
        G_STRUCT_OFFSET(AtkObjectClass, active_descendant_changed), NULL, NULL, NULL,
        G_TYPE_NONE, 1, G_TYPE_POINTER);
}
static void atk_object_init(AtkObject* accessible) {
    accessible->role = ATK_ROLE_UNKNOWN;
    accessible->layer = ATK_LAYER_INVALID;
    accessible->relation_set = atk_relation_set_new();
}

void atk_object_initialize(AtkObject* accessible, gpointer data) {
    AtkObjectClass* klass = ATK_OBJECT_GET_CLASS(accessible);
    if (klass->initialize)
        klass->initialize(accessible, data);
}
const gchar* atk_object_get_name(AtkObject* accessible) {
    AtkObjectClass* klass = ATK_OBJECT_GET_CLASS(accessible);
    return klass->get_name ? klass->get_name(accessible) : NULL;
}
void atk_object_set_name(AtkObject* accessible, const gchar* name) {
    AtkObjectClass* klass = ATK_OBJECT_GET_CLASS(accessible);
    if (klass->set_name)
        klass->set_name(accessible, name);
}
void atk_object_set_description(AtkObject* accessible, const gchar* description) {
    AtkObjectClass* klass = ATK_OBJECT_GET_CLASS(accessible);
    if (klass->set_description)
        klass->set_description(accessible, description);
}
void atk_object_set_role(AtkObject* accessible, AtkRole role) {
    AtkObjectClass* klass = ATK_OBJECT_GET_CLASS(accessible);
    if (klass->set_role)
        klass->set_role(accessible, role);
}
AtkObject* atk_object_ref_accessible_child(AtkObject* accessible, gint i) {
    AtkObjectClass* klass = ATK_OBJECT_GET_CLASS(accessible);
    return klass->ref_child ? klass->ref_child(accessible, i) : NULL;
}
AtkRelationSet* atk_object_ref_relation_set(AtkObject* accessible) {
    AtkObjectClass* klass = ATK_OBJECT_GET_CLASS(accessible);
    if (klass->ref_relation_set)
        return klass->ref_relation_set(accessible);
    return g_object_ref(accessible->relation_set);
}
gboolean atk_object_add_relationship(AtkObject* accessible, AtkRelationType type,
                                     AtkObject* target) {
    atk_relation_set_add_relation_by_type(accessible->relation_set, type, target);
    return TRUE;
}
AtkStateSet* atk_object_ref_state_set(AtkObject* accessible) {
    AtkObjectClass* klass = ATK_OBJECT_GET_CLASS(accessible);
    return klass->ref_state_set ? klass->ref_state_set(accessible) : atk_state_set_new();
}
AtkRole atk_object_get_role(AtkObject* accessible) {
    AtkObjectClass* klass = ATK_OBJECT_GET_CLASS(accessible);
    return klass->get_role ? klass->get_role(accessible) : ATK_ROLE_UNKNOWN;
}
static const char* state_name(AtkStateType state) {
    GEnumClass* klass = g_type_class_ref(atk_state_type_get_type());
    GEnumValue* value = g_enum_get_value(klass, state);
    const char* name = value ? value->value_nick : "invalid";
    g_type_class_unref(klass);
    return name;
}
void atk_object_notify_state_change(AtkObject* accessible, AtkState state, gboolean value) {
    const char* name = state_name((AtkStateType)state);
    g_signal_emit(accessible, object_signals[STATE_CHANGE], g_quark_from_string(name), name,
                  value);
}

GType atk_state_type_get_type(void) {
    static gsize type = 0;
    if (g_once_init_enter(&type)) {
        static const GEnumValue values[] = {
            {ATK_STATE_INVALID, "ATK_STATE_INVALID", "invalid"},
            {ATK_STATE_ACTIVE, "ATK_STATE_ACTIVE", "active"},
            {ATK_STATE_ARMED, "ATK_STATE_ARMED", "armed"},
            {ATK_STATE_BUSY, "ATK_STATE_BUSY", "busy"},
            {ATK_STATE_CHECKED, "ATK_STATE_CHECKED", "checked"},
            {ATK_STATE_DEFUNCT, "ATK_STATE_DEFUNCT", "defunct"},
            {ATK_STATE_EDITABLE, "ATK_STATE_EDITABLE", "editable"},
            {ATK_STATE_ENABLED, "ATK_STATE_ENABLED", "enabled"},
            {ATK_STATE_EXPANDABLE, "ATK_STATE_EXPANDABLE", "expandable"},
            {ATK_STATE_EXPANDED, "ATK_STATE_EXPANDED", "expanded"},
            {ATK_STATE_FOCUSABLE, "ATK_STATE_FOCUSABLE", "focusable"},
            {ATK_STATE_FOCUSED, "ATK_STATE_FOCUSED", "focused"},
            {ATK_STATE_HORIZONTAL, "ATK_STATE_HORIZONTAL", "horizontal"},
            {ATK_STATE_ICONIFIED, "ATK_STATE_ICONIFIED", "iconified"},
            {ATK_STATE_MODAL, "ATK_STATE_MODAL", "modal"},
            {ATK_STATE_MULTI_LINE, "ATK_STATE_MULTI_LINE", "multi-line"},
            {ATK_STATE_MULTISELECTABLE, "ATK_STATE_MULTISELECTABLE", "multiselectable"},
            {ATK_STATE_OPAQUE, "ATK_STATE_OPAQUE", "opaque"},
            {ATK_STATE_PRESSED, "ATK_STATE_PRESSED", "pressed"},
            {ATK_STATE_RESIZABLE, "ATK_STATE_RESIZABLE", "resizable"},
            {ATK_STATE_SELECTABLE, "ATK_STATE_SELECTABLE", "selectable"},
            {ATK_STATE_SELECTED, "ATK_STATE_SELECTED", "selected"},
            {ATK_STATE_SENSITIVE, "ATK_STATE_SENSITIVE", "sensitive"},
            {ATK_STATE_SHOWING, "ATK_STATE_SHOWING", "showing"},
            {ATK_STATE_SINGLE_LINE, "ATK_STATE_SINGLE_LINE", "single-line"},
            {ATK_STATE_STALE, "ATK_STATE_STALE", "stale"},
            {ATK_STATE_TRANSIENT, "ATK_STATE_TRANSIENT", "transient"},
            {ATK_STATE_VERTICAL, "ATK_STATE_VERTICAL", "vertical"},
            {ATK_STATE_VISIBLE, "ATK_STATE_VISIBLE", "visible"},
            {0, NULL, NULL},
        };
        g_once_init_leave(&type, g_enum_register_static("AtkStateType", values));
    }
    return type;
}

/* ---- The object factories and their registry ---- */

G_DEFINE_TYPE(AtkObjectFactory, atk_object_factory, G_TYPE_OBJECT)
static void atk_object_factory_class_init(AtkObjectFactoryClass* klass) { (void)klass; }
static void atk_object_factory_init(AtkObjectFactory* factory) { (void)factory; }

AtkObject* atk_object_factory_create_accessible(AtkObjectFactory* factory, GObject* object) {
    AtkObjectFactoryClass* klass = ATK_OBJECT_FACTORY_GET_CLASS(factory);
    return klass->create_accessible ? klass->create_accessible(object) : NULL;
}
GType atk_object_factory_get_accessible_type(AtkObjectFactory* factory) {
    AtkObjectFactoryClass* klass = ATK_OBJECT_FACTORY_GET_CLASS(factory);
    return klass->get_accessible_type ? klass->get_accessible_type() : G_TYPE_INVALID;
}

/* The factory for types nobody registered: a plain AtkObject for the widget. */
typedef AtkObjectFactory QnPlainFactory;
typedef AtkObjectFactoryClass QnPlainFactoryClass;
static GType qn_plain_factory_get_type(void);
G_DEFINE_TYPE(QnPlainFactory, qn_plain_factory, atk_object_factory_get_type())
static AtkObject* plain_create_accessible(GObject* object) {
    AtkObject* accessible = g_object_new(atk_object_get_type(), NULL);
    atk_object_initialize(accessible, object);
    return accessible;
}
static GType plain_accessible_type(void) { return atk_object_get_type(); }
static void qn_plain_factory_class_init(QnPlainFactoryClass* klass) {
    klass->create_accessible = plain_create_accessible;
    klass->get_accessible_type = plain_accessible_type;
}
static void qn_plain_factory_init(QnPlainFactory* factory) { (void)factory; }

G_DEFINE_TYPE(AtkRegistry, atk_registry, G_TYPE_OBJECT)
static void atk_registry_class_init(AtkRegistryClass* klass) { (void)klass; }
static void atk_registry_init(AtkRegistry* registry) {
    registry->factory_type_registry = g_hash_table_new(NULL, NULL);
    registry->factory_singleton_cache = g_hash_table_new(NULL, NULL);
}

AtkRegistry* atk_get_default_registry(void) {
    static AtkRegistry* registry = NULL;
    if (!registry)
        registry = g_object_new(atk_registry_get_type(), NULL);
    return g_object_ref(registry);
}
void atk_registry_set_factory_type(AtkRegistry* registry, GType type, GType factory_type) {
    g_hash_table_insert(registry->factory_type_registry, GSIZE_TO_POINTER(type),
                        GSIZE_TO_POINTER(factory_type));
}
AtkObjectFactory* atk_registry_get_factory(AtkRegistry* registry, GType type) {
    GType factory_type = G_TYPE_INVALID;
    for (GType t = type; t && !factory_type; t = g_type_parent(t))
        factory_type = (GType)GPOINTER_TO_SIZE(
            g_hash_table_lookup(registry->factory_type_registry, GSIZE_TO_POINTER(t)));
    if (!factory_type)
        factory_type = qn_plain_factory_get_type();
    AtkObjectFactory* factory =
        g_hash_table_lookup(registry->factory_singleton_cache, GSIZE_TO_POINTER(factory_type));
    if (!factory) {
        factory = g_object_new(factory_type, NULL);
        g_hash_table_insert(registry->factory_singleton_cache, GSIZE_TO_POINTER(factory_type),
                            factory);
    }
    return factory;
}

void atk_focus_tracker_notify(AtkObject* object) { (void)object; }

/* ---- The interfaces GTK+ asks for ---- */

#define QN_INTERFACE(name, Iface)                                                    \
    GType name##_get_type(void) {                                                    \
        static gsize type = 0;                                                       \
        if (g_once_init_enter(&type)) {                                              \
            GTypeInfo info = {0};                                                    \
            info.class_size = sizeof(Iface);                                         \
            GType t = g_type_register_static(G_TYPE_INTERFACE, #Iface, &info, 0);    \
            g_once_init_leave(&type, t);                                             \
        }                                                                            \
        return type;                                                                 \
    }
QN_INTERFACE(atk_action, AtkActionIface)
QN_INTERFACE(atk_component, AtkComponentIface)
QN_INTERFACE(atk_image, AtkImageIface)
QN_INTERFACE(atk_implementor, AtkImplementorIface)
QN_INTERFACE(atk_selection, AtkSelectionIface)
QN_INTERFACE(atk_text, AtkTextIface)

gint atk_action_get_n_actions(AtkAction* action) {
    AtkActionIface* iface = ATK_ACTION_GET_IFACE(action);
    return iface->get_n_actions ? iface->get_n_actions(action) : 0;
}
const gchar* atk_action_get_name(AtkAction* action, gint i) {
    AtkActionIface* iface = ATK_ACTION_GET_IFACE(action);
    return iface->get_name ? iface->get_name(action, i) : NULL;
}
gboolean atk_action_set_description(AtkAction* action, gint i, const gchar* description) {
    AtkActionIface* iface = ATK_ACTION_GET_IFACE(action);
    return iface->set_description ? iface->set_description(action, i, description) : FALSE;
}
void atk_component_get_extents(AtkComponent* component, gint* x, gint* y, gint* width,
                               gint* height, AtkCoordType coord_type) {
    AtkComponentIface* iface = ATK_COMPONENT_GET_IFACE(component);
    gint ignored;
    if (iface->get_extents)
        iface->get_extents(component, x ? x : &ignored, y ? y : &ignored,
                           width ? width : &ignored, height ? height : &ignored, coord_type);
}
void atk_component_get_position(AtkComponent* component, gint* x, gint* y,
                                AtkCoordType coord_type) {
    atk_component_get_extents(component, x, y, NULL, NULL, coord_type);
}
gboolean atk_image_set_image_description(AtkImage* image, const gchar* description) {
    AtkImageIface* iface = ATK_IMAGE_GET_IFACE(image);
    return iface->set_image_description ? iface->set_image_description(image, description)
                                        : FALSE;
}
