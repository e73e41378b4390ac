package i2cdln.sim;

import java.util.Map;

/**
 * What every device model written in Java shares: the name it gives dln-sim and the state the
 * live page shows. The kit serves a model as a device provider of {@code dln-sim} (see
 * docs/device-providers.md): a model's methods are called one at a time, on a thread of the
 * kit, for each transfer a program makes on its address or line. A model must answer within
 * the kit's time-out ({@link SimRobot#MODEL_TIMEOUT}), or the transfer fails (0x4F).
 */
public interface DeviceModel {
    /**
     * The name dln-sim shows for the device (model {@code external}), and that a scenario
     * declaring an external device at the address expects.
     *
     * @return by default the class's simple name with its first letter in lower case, or
     *     {@code "java-model"} for a lambda or an anonymous class
     */
    default String name() {
        Class<?> type = getClass();
        if (type.isHidden() || type.isSynthetic() || type.isAnonymousClass()) {
            return "java-model";
        }
        String simple = type.getSimpleName();
        return Character.toLowerCase(simple.charAt(0)) + simple.substring(1);
    }

    /**
     * The device's state as the live page shows it (its {@code devices[].state}), asked for
     * after each transfer and sent when it changed.
     *
     * @return names and values (numbers, strings, booleans, lists, maps); by default none
     */
    default Map<String, ?> state() {
        return Map.of();
    }
}
