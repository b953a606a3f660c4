// The host's image object: the nine properties an object source sets on each image.
#include "HostObjects.h"

#include "hostapi/HostClasses.h"

namespace host {

using automation::Arguments;
using automation::InvokeKind;
using automation::Variant;

ImageObject::ImageObject()
{
    for (std::size_t index = 0; index < m_properties.size(); ++index) {
        const ImageProperty& property = kImageProperties[index];
        addMember(property.name, property.id, InvokeKind::PropertyGet, 0, [this, index](Arguments&) { return m_properties[index]; });
        addMember(property.name, property.id, InvokeKind::PropertyPut, 1, [this, index](Arguments& arguments) {
            m_properties[index] = arguments[0].value();
            return Variant();
        });
    }
}

} // namespace host
