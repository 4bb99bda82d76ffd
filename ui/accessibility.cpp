#include "ui/accessibility.h"

#include <atk/atk.h>

namespace {

// A distinct widget type, so that its accessible can be one of our own.
struct QnIndicator {
    GtkButton parent;
    gboolean lit;
};
struct QnIndicatorClass {
    GtkButtonClass parent_class;
};

GType qn_indicator_get_type();
#define QN_INDICATOR(object) \
    G_TYPE_CHECK_INSTANCE_CAST((object), qn_indicator_get_type(), QnIndicator)
#define QN_IS_INDICATOR(object) G_TYPE_CHECK_INSTANCE_TYPE((object), qn_indicator_get_type())

AtkObjectClass* g_button_accessible_class = nullptr;
GtkWidgetClass* g_button_widget_class = nullptr;
GQuark g_accessible_quark = 0;

// The button's own accessible (gail's, once loaded) with the light's state added.
AtkStateSet* indicator_ref_state_set(AtkObject* accessible) {
    AtkStateSet* states = g_button_accessible_class->ref_state_set(accessible);
    GtkWidget* widget = GTK_ACCESSIBLE(accessible)->widget;
    atk_state_set_add_state(states, ATK_STATE_CHECKABLE);
    if (widget && QN_IS_INDICATOR(widget) && QN_INDICATOR(widget)->lit)
        atk_state_set_add_state(states, ATK_STATE_CHECKED);
    return states;
}

void indicator_accessible_class_init(gpointer klass, gpointer) {
    g_button_accessible_class = ATK_OBJECT_CLASS(g_type_class_peek_parent(klass));
    ATK_OBJECT_CLASS(klass)->ref_state_set = indicator_ref_state_set;
}

// The accessible type of a plain button is known only at run time: gail registers it when
// the accessibility module loads. Without it there is nothing to extend.
GType indicator_accessible_type() {
    static GType type = 0;
    if (type)
        return type;
    AtkObjectFactory* factory =
        atk_registry_get_factory(atk_get_default_registry(), GTK_TYPE_BUTTON);
    const GType button_type = factory ? atk_object_factory_get_accessible_type(factory) : 0;
    if (!button_type || !g_type_is_a(button_type, GTK_TYPE_ACCESSIBLE))
        return 0;
    GTypeQuery query;
    g_type_query(button_type, &query);
    GTypeInfo info{};
    info.class_size = static_cast<guint16>(query.class_size);
    info.class_init = indicator_accessible_class_init;
    info.instance_size = static_cast<guint16>(query.instance_size);
    type = g_type_register_static(button_type, "QnIndicatorAccessible", &info, GTypeFlags(0));
    return type;
}

AtkObject* indicator_get_accessible(GtkWidget* widget) {
    if (auto* existing =
            static_cast<AtkObject*>(g_object_get_qdata(G_OBJECT(widget), g_accessible_quark)))
        return existing;
    const GType type = indicator_accessible_type();
    if (!type)
        return g_button_widget_class->get_accessible(widget);
    auto* accessible = static_cast<AtkObject*>(g_object_new(type, nullptr));
    atk_object_initialize(accessible, widget);
    atk_object_set_role(accessible, ATK_ROLE_TOGGLE_BUTTON);
    g_object_set_qdata_full(G_OBJECT(widget), g_accessible_quark, accessible, g_object_unref);
    return accessible;
}

void qn_indicator_class_init(gpointer klass, gpointer) {
    g_button_widget_class = GTK_WIDGET_CLASS(g_type_class_peek_parent(klass));
    g_accessible_quark = g_quark_from_static_string("qn718-indicator-accessible");
    GTK_WIDGET_CLASS(klass)->get_accessible = indicator_get_accessible;
}

GType qn_indicator_get_type() {
    static GType type = 0;
    if (!type) {
        GTypeInfo info{};
        info.class_size = sizeof(QnIndicatorClass);
        info.class_init = qn_indicator_class_init;
        info.instance_size = sizeof(QnIndicator);
        type = g_type_register_static(GTK_TYPE_BUTTON, "QnIndicator", &info, GTypeFlags(0));
    }
    return type;
}

}  // namespace

void tie_label_to_control(GtkWidget* label, GtkWidget* control) {
    gtk_label_set_mnemonic_widget(GTK_LABEL(label), control);
    atk_object_set_name(gtk_widget_get_accessible(control), gtk_label_get_text(GTK_LABEL(label)));
}

GtkWidget* make_indicator_button() {
    return GTK_WIDGET(g_object_new(qn_indicator_get_type(), nullptr));
}

void set_indicator_lit(GtkWidget* indicator, bool lit) {
    if (!QN_IS_INDICATOR(indicator) || QN_INDICATOR(indicator)->lit == lit)
        return;
    QN_INDICATOR(indicator)->lit = lit;
    // Only an accessible that exists has listeners to tell.
    if (auto* accessible =
            static_cast<AtkObject*>(g_object_get_qdata(G_OBJECT(indicator), g_accessible_quark)))
        atk_object_notify_state_change(accessible, ATK_STATE_CHECKED, lit);
}

bool indicator_lit(GtkWidget* indicator) {
    return QN_IS_INDICATOR(indicator) && QN_INDICATOR(indicator)->lit;
}

void announce_as_alert(GtkWidget* window, const char* text) {
    AtkObject* accessible = gtk_widget_get_accessible(window);
    atk_object_set_role(accessible, ATK_ROLE_ALERT);
    atk_object_set_description(accessible, text);
}
