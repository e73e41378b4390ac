package robot;

import i2cdln.Dln;

public class QuickStart {
    public static void main(String[] args) {
        Dln dln = Dln.create();
        System.out.println("devices: " + dln.adapter().scan());
        dln.servo(0x51).setPulseWidth(1500, 0);
        System.out.println("servo 0x51 at 1500 us");
        System.out.println("ultrasonic: " + dln.ultrasonic(0x70).rangeCm() + " cm");
    }
}
