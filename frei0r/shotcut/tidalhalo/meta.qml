import QtQuick 2.0
import org.shotcut.qml 1.0

// The frei0r filter tidalhalo in Shotcut: copy this folder into Shotcut's
// share/shotcut/qml/filters/ and the filter (tidalhalo.so or tidalhalo.dll)
// where its MLT loads frei0r plug-ins. Parameters are named by their frei0r
// index, each in the filter's own units, 0..1.
Metadata {
    type: Metadata.Filter
    name: 'Tidal Halo'
    mlt_service: 'frei0r.tidalhalo'
    keywords: 'ring halo circle glow vignette soft colour color tidal'
    objectName: 'frei0r.tidalhalo'
    qml: 'ui.qml'
    vui: 'vui.qml'

    keyframes {
        allowAnimateIn: true
        allowAnimateOut: true
        simpleProperties: ['0', '1', '2', '3', '4', '5', '6']
        parameters: [
            Parameter {
                name: 'Centre X'
                property: '0'
                isCurve: true
                minimum: 0
                maximum: 1
            },
            Parameter {
                name: 'Centre Y'
                property: '1'
                isCurve: true
                minimum: 0
                maximum: 1
            },
            Parameter {
                name: 'Radius'
                property: '2'
                isCurve: true
                minimum: 0
                maximum: 1
            },
            Parameter {
                name: 'Feather'
                property: '3'
                isCurve: true
                minimum: 0
                maximum: 1
            },
            Parameter {
                name: 'Expand'
                property: '4'
                isCurve: true
                minimum: 0
                maximum: 1
            },
            Parameter {
                name: 'Opacity'
                property: '5'
                isCurve: true
                minimum: 0
                maximum: 1
            },
            Parameter {
                name: 'Scatter'
                property: '6'
                isCurve: true
                minimum: 0
                maximum: 1
            }
        ]
    }
}
